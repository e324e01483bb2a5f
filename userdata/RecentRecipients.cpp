#include "userdata/RecentRecipients.h"

#include <QString>
#include <cerrno>
#include <cstdio>
#include <fstream>

#include "platform/Exception.h"
#include "userdata/LineFile.h"

namespace userdata {
namespace {

bool SameAddress(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

// A line holds one entry: no tab or line break may stand inside its parts.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

}  // namespace

TRecentRecipients::TRecentRecipients(const std::string& dataDir) : path_(dataDir + "recent.dat") {}

std::vector<TRecentRecipient> TRecentRecipients::Load() const {
    std::vector<TRecentRecipient> recent;
    std::ifstream file(path_, std::ios::binary);
    std::string line;
    while (recent.size() < kLimit && std::getline(file, line)) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0)
            continue;  // not written by this program
        recent.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
    return recent;
}

void TRecentRecipients::Add(const std::vector<TRecentRecipient>& sent) {
    std::vector<TRecentRecipient> recent;
    const auto listed = [&recent](const std::string& address) {
        for (const TRecentRecipient& r : recent) {
            if (SameAddress(r.Address, address))
                return true;
        }
        return false;
    };
    for (const std::vector<TRecentRecipient>& list : {sent, Load()}) {
        for (const TRecentRecipient& r : list) {
            if (!r.Address.empty() && !listed(r.Address) && recent.size() < kLimit)
                recent.push_back({OneLine(r.Address), OneLine(r.Text)});
        }
    }
    std::string bytes;
    for (const TRecentRecipient& r : recent)
        bytes += r.Address + '\t' + r.Text + '\n';
    ReplaceFile(path_, bytes);
}

void TRecentRecipients::Clear() {
    if (std::remove(path_.c_str()) != 0 && errno != ENOENT)
        throw EInOutError(FileErrorText("ファイル %s を消せません", path_, errno));
}

}  // namespace userdata
