// Attachment parts: the names readers get, the header lines that carry them, the media type,
// the encoded lines, and the size a server that lists SIZE is told.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <string>
#include <vector>

#include "smtp/ZelAttach.h"
#include "smtp/ZelEsmtp.h"
#include "smtp/ZelLines.h"
#include "smtp/Zelsmtp.h"

namespace {

std::string WriteFile(const QTemporaryDir& dir, const std::string& name, const std::string& bytes) {
    const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

TEST(AttachTest, NamesReadersGet) {
    const struct {
        std::string entry, name;
    } cases[] = {
        {"/home/u/report 2026.pdf", "report 2026.pdf"},
        {"relative/議事録.txt", "議事録.txt"},
        {"C:\\dir\\a:b.txt", "C:\\dir\\a:b.txt"},  // one name on this file system
        {"/x/invoice\u202Efdp.exe", "invoicefdp.exe"},
        {"/x/a\u200Eb\u2066c\u2069d", "abcd"},
        {"/x/tab\tnew\nline\x7F\u0085.txt", "tabnewline.txt"},
        {"/x/bad\xFF.bin", "bad\uFFFD.bin"},
        {"/x/\n", "attachment"},
        {"/x/dir/", "attachment"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AttachmentName(c.entry), c.name) << c.entry;
}

// What real readers make of these headers is shown end to end (tests/cli); here, the layout
// of a quoted name, and the charset a name's encoded-words choose.
TEST(AttachTest, PartHeaderLayoutAndTheCharsetOfNameWords) {
    EXPECT_EQ(AttachmentPartHeader("text/plain", "say \"hi\" \\ back.txt"),
              "Content-Type: text/plain; name=\"say \\\"hi\\\" \\\\ back.txt\"\r\n"
              "Content-Transfer-Encoding: base64\r\n"
              "Content-Disposition: attachment; filename=\"say \\\"hi\\\" \\\\ back.txt\"\r\n");
    const std::string longAscii = std::string(80, 'a') + ".txt";  // no quoted string fits a line
    const struct {
        std::string name;
        const char* words;
    } cases[] = {
        {longAscii, "name=\"=?ISO-2022-JP?B?"},    {"議事録.txt", "name=\"=?ISO-2022-JP?B?"},
        {"波～ダッシュ.txt", "name=\"=?UTF-8?B?"},  // code page 932's own tilde: no JIS form
        {"ﾊﾝｶｸ.txt", "name=\"=?UTF-8?B?"},         {"🏖️.jpg", "name=\"=?UTF-8?B?"},
    };
    for (const auto& c : cases) {
        const std::string header = AttachmentPartHeader("image/png", c.name);
        EXPECT_NE(header.find(c.words), std::string::npos) << header;
        EXPECT_NE(header.find("=UTF-8''"), std::string::npos) << header;
    }
}

TEST(AttachTest, MediaTypeByNameAndContent) {
    QTemporaryDir dir;
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    const struct {
        std::string path;
        const char* type;
    } cases[] = {
        {WriteFile(dir, "picture.png", png), "image/png"},
        {WriteFile(dir, "picture-without-extension", png), "image/png"},
        {WriteFile(dir, "notes.txt", "plain words\n"), "text/plain"},
        {WriteFile(dir, "empty.txt", ""), "application/octet-stream"},
        {WriteFile(dir, "noise", std::string("\x01\x02\xFE\xFF\x00\x10", 6)),
         "application/octet-stream"},
        {dir.path().toStdString(), "application/octet-stream"},
        {dir.filePath("missing.png").toStdString(), "application/octet-stream"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AttachmentType(c.path), c.type) << c.path;
}

TEST(AttachTest, EncodedLinesAndTheSizeTheServerIsTold) {
    QTemporaryDir dir;
    // 45 * 22 + 14 bytes: uuCode's last line starts with its length character ".".
    std::string bytes;
    for (int i = 0; i < 1004; ++i)
        bytes += static_cast<char>(i * 37);
    const struct {
        UUMethods method;
        size_t lineLength;
    } cases[] = {{uuMime, 76}, {uuCode, 61}};
    for (const auto& c : cases) {
        TZelSMTP smtp(nullptr);
        smtp.EncodeType = c.method;
        smtp.PostMessage.Body.Add(".dotted");
        smtp.PostMessage.Attachments.Add(WriteFile(dir, "data.bin", bytes));
        smtp.BuildMessage();
        const std::string content(smtp.ContentStream.Data());
        const size_t first = content.find("\r\n\r\n", content.find("data.bin")) + 4;
        EXPECT_EQ(content.find("\r\n", first) - first, c.lineLength);
        // The server's count leaves out the doubled dots, as the copy of the message does.
        EXPECT_EQ(smtp.MessageSize(), static_cast<int64_t>(smtp.SentCopy().size()));
        EXPECT_NE(content.find("\r\n.."), std::string::npos) << "a doubled dot to leave out";
    }
    const struct {
        std::vector<std::string> reply;
        bool offered;
        int64_t limit;
    } sizes[] = {
        {{"250-x", "250-SIZE 10485760", "250 AUTH PLAIN"}, true, 10485760},
        {{"250-x", "250 size"}, true, 0},
        {{"250-x", "250 SIZE unlimited"}, true, 0},
        {{"250-x", "250 AUTH PLAIN"}, false, 0},
    };
    for (const auto& s : sizes) {
        const TEhloKeywords offered = ParseEhloReply(s.reply);
        EXPECT_EQ(offered.Has("SIZE"), s.offered) << s.reply[1];
        EXPECT_EQ(offered.SizeLimit, s.limit) << s.reply[1];
    }
    EXPECT_EQ(MegaBytes(21 << 20, 20 << 20), "21.0 MB");
    EXPECT_EQ(MegaBytes((20 << 20) + 100, 20 << 20), "20.0001 MB");
}

}  // namespace
