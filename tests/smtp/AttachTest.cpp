// Attachment parts: the names readers get, the header lines that carry them, the media type,
// the encoded lines, and the size a server that lists SIZE is told.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QTemporaryDir>
#include <QUrl>
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

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find("\r\n", at);
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// What a reader that decodes each filename*N*= section on its own makes of the sections, or
// the quoted filename=; "" when a section is no whole UTF-8.
std::string FileNameOf(const std::string& header) {
    std::string name;
    const std::vector<std::string> lines = Lines(header);
    for (const std::string& line : lines) {
        const size_t q = line.find("filename=\"");
        if (q != std::string::npos) {
            for (size_t i = q + 10; line[i] != '"'; ++i)
                name += line[i] == '\\' ? line[++i] : line[i];
            return name;
        }
        const size_t star = line.find("filename*");
        if (star == std::string::npos)
            continue;
        std::string value = line.substr(line.find('=', star) + 1);
        if (value.starts_with("UTF-8''"))
            value = value.substr(7);
        if (value.ends_with(";"))
            value.pop_back();
        const QByteArray bytes = QByteArray::fromPercentEncoding(QByteArray::fromStdString(value));
        if (QString::fromUtf8(bytes).toUtf8() != bytes)
            return "";
        name += bytes.toStdString();
    }
    return name;
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

TEST(AttachTest, PartHeadersStaySevenBitWithinTheirLinesAndKeepTheName) {
    const std::string longJapanese =
        "令和八年度第三四半期における新製品開発計画および市場調査報告書の最終版について"
        "関係各位へ送付する資料一式.pdf";
    const struct {
        std::string name;
        const char* nameCharset;  // of name='s words; "" for a quoted string
    } cases[] = {
        {"report 2026.pdf", ""},
        {"say \"hi\" \\ back.txt", ""},
        {"議事録.txt", "ISO-2022-JP"},
        {longJapanese, "ISO-2022-JP"},
        {"旅行🏖️写真 👨‍👩‍👧.jpg", "UTF-8"},
        {"波～ダッシュ.txt", "UTF-8"},  // code page 932's own tilde: no ISO-2022-JP form
        {"ﾊﾝｶｸ.txt", "UTF-8"},
    };
    for (const auto& c : cases) {
        const std::string header = AttachmentPartHeader("image/png", c.name);
        for (const std::string& line : Lines(header)) {
            EXPECT_LE(line.size(), 78u) << line;
            for (const char ch : line)
                ASSERT_LT(static_cast<unsigned char>(ch), 0x80) << c.name;
        }
        EXPECT_EQ(FileNameOf(header), c.name);
        EXPECT_TRUE(header.starts_with("Content-Type: image/png;")) << header;
        EXPECT_NE(header.find("\r\nContent-Transfer-Encoding: base64\r\n"), std::string::npos);
        const std::string word = std::string("name=\"=?") + c.nameCharset + "?B?";
        EXPECT_EQ(header.find(*c.nameCharset ? word : "name=\"" + c.name.substr(0, 3)) !=
                      std::string::npos,
                  true)
            << header;
    }
    EXPECT_EQ(AttachmentPartHeader("text/plain", "say \"hi\" \\ back.txt"),
              "Content-Type: text/plain; name=\"say \\\"hi\\\" \\\\ back.txt\"\r\n"
              "Content-Transfer-Encoding: base64\r\n"
              "Content-Disposition: attachment; filename=\"say \\\"hi\\\" \\\\ back.txt\"\r\n");
    const std::string header = AttachmentPartHeader("text/plain", longJapanese);
    EXPECT_NE(header.find("\r\n filename*0*=UTF-8''%E4%BB%A4"), std::string::npos);
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
        EXPECT_EQ(smtp.MessageSize(), static_cast<int64_t>(smtp.SentCopy(TStringList()).size()));
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
