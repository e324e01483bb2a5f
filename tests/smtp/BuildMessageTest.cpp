#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "smtp/Zelsmtp.h"

namespace {

// Lets a test repeat a boundary draw.
class SeededSMTP : public TZelSMTP {
  public:
    SeededSMTP() : TZelSMTP(nullptr) {}
    void Seed(unsigned value) { BoundaryRandom.seed(value); }
};

std::string WriteFile(const QTemporaryDir& dir, const std::string& name, const std::string& bytes) {
    const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

struct HeaderCase {
    const char* what;
    std::function<void(TZelSMTP&)> setup;
    std::vector<std::string> header;
};

TEST(BuildMessageTest, HeaderLinesInTheirOrder) {
    const std::vector<HeaderCase> cases = {
        {"empty record",
         [](TZelSMTP&) {},
         {"From: <>", "Mime-Version: 1.0", "Content-Type: text/plain; charset=us-ascii"}},
        {"every field",
         [](TZelSMTP& s) {
             auto& m = s.PostMessage;
             m.FromName = "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=";
             m.FromAddress = "me@localhost";
             m.ToAddress.Add("a@localhost");
             m.ToAddress.Add("B <b@localhost>");
             m.ToCarbonCopy.Add("c@localhost");
             m.ToBlindCarbonCopy.Add("hidden@localhost");
             m.Subject = "Hello";
             m.LocalProgram = "Mailer 1";
             m.ReplyTo = "r@localhost";
             m.Date = "Tue, 8 Dec 2026 10:00:00 +0900";
             s.Charset = "iso-2022-jp";
         },
         {"From: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=<me@localhost>",
          "To: a@localhost,B <b@localhost>", "CC: c@localhost", "Subject: Hello",
          "X-Mailer: Mailer 1", "Reply-To: r@localhost", "Date: Tue, 8 Dec 2026 10:00:00 +0900",
          "Mime-Version: 1.0", "Content-Type: text/plain; charset=iso-2022-jp"}},
        {"empty CC entry still gives a CC line",
         [](TZelSMTP& s) {
             s.PostMessage.FromName = "Me ";
             s.PostMessage.ToCarbonCopy.Add("");
         },
         {"From: Me <>", "CC: ", "Mime-Version: 1.0",
          "Content-Type: text/plain; charset=us-ascii"}},
        {"html subtype",
         [](TZelSMTP& s) {
             s.SubType = mtHtml;
             s.Charset = "iso-2022-jp";
         },
         {"From: <>", "Mime-Version: 1.0", "Content-Type: text/html; charset=iso-2022-jp"}},
        {"enriched",
         [](TZelSMTP& s) { s.SubType = mtEnriched; },
         {"From: <>", "Mime-Version: 1.0", "Content-Type: text/enriched; charset=us-ascii"}},
        {"sgml",
         [](TZelSMTP& s) { s.SubType = mtSgml; },
         {"From: <>", "Mime-Version: 1.0", "Content-Type: text/sgml; charset=us-ascii"}},
        {"tab separated",
         [](TZelSMTP& s) { s.SubType = mtTabSeperated; },
         {"From: <>", "Mime-Version: 1.0",
          "Content-Type: text/tab-separated-values; charset=us-ascii"}},
    };
    for (const HeaderCase& c : cases) {
        TZelSMTP smtp(nullptr);
        smtp.FinalHeader.Add("Stale: line from a caller");
        c.setup(smtp);
        smtp.BuildMessage();
        EXPECT_EQ(smtp.FinalHeader.Lines(), c.header) << c.what;
    }
}

TEST(BuildMessageTest, BodyLinesAreSplitAndDotStuffed) {
    TZelSMTP smtp(nullptr);
    smtp.BuildMessage();
    EXPECT_EQ(smtp.ContentStream.Data(), "");

    for (const char* line : {"first", ".", ".hidden", "a\r\n.\r\nQUIT", "x\ry\nz", ""}) {
        smtp.PostMessage.Body.Add(line);
    }
    smtp.BuildMessage();
    EXPECT_EQ(smtp.ContentStream.Data(),
              "first\r\n..\r\n..hidden\r\na\r\n..\r\nQUIT\r\nx\r\ny\r\nz\r\n\r\n");
    EXPECT_EQ(smtp.PostMessage.Body.Count(), 6) << "the record keeps the lines as given";
}

TEST(BuildMessageTest, MultipartLayoutWithTwoAttachments) {
    QTemporaryDir dir;
    const std::string first = WriteFile(dir, "one.bin", std::string("\0\0\0", 3));
    const std::string second = WriteFile(dir, "two.txt", "");
    TZelSMTP smtp(nullptr);
    smtp.SubType = mtHtml;
    smtp.Charset = "iso-2022-jp";
    smtp.PostMessage.Body.Add("hello");
    smtp.PostMessage.Attachments.Add(first);
    smtp.PostMessage.Attachments.Add(second);
    std::vector<std::string> events;
    smtp.OnEncodeStart = [&](const std::string& f) { events.push_back("start " + f); };
    smtp.OnEncodeEnd = [&](const std::string& f) { events.push_back("end " + f); };
    smtp.BuildMessage();

    const std::string& b = smtp.Boundary;
    EXPECT_TRUE(std::regex_match(b, std::regex("={20}54535[a-y]{6}====")));
    EXPECT_EQ(smtp.FinalHeader.Lines().back(),
              "Content-Type: multipart/mixed; boundary=\"" + b + "\"");
    const auto part = [&](const std::string& name) {
        return "--" + b + "\r\nContent-Type: application/octet-stream; name=\"" + name +
               "\"\r\nContent-Transfer-Encoding: base64\r\n"
               "Content-Disposition: attachment; filename=\"" +
               name + "\"\r\n\r\n";
    };
    EXPECT_EQ(smtp.ContentStream.Data(),
              "--" + b + "\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\nhello\r\n" +
                  part("one.bin") + "AAAA\r\n" + part("two.txt") + "--" + b + "--\r\n");
    EXPECT_EQ(events, (std::vector<std::string>{"start " + first, "end " + first, "start " + second,
                                                "end " + second}));
}

TEST(BuildMessageTest, UuCodeLineStartingWithDotIsDoubled) {
    QTemporaryDir dir;
    // 45 + 14 bytes: the last line's length character is "." (32 + 14).
    const std::string path = WriteFile(dir, "dot.bin", std::string(59, 'A'));
    TZelSMTP smtp(nullptr);
    smtp.EncodeType = uuCode;
    smtp.PostMessage.Attachments.Add(path);
    smtp.BuildMessage();
    const std::string content(smtp.ContentStream.Data());
    const auto last = content.find("\r\n.");
    ASSERT_NE(last, std::string::npos);
    EXPECT_EQ(content.substr(last, 5), "\r\n..0") << "the length line is stuffed";
    EXPECT_EQ(content.find("\r\n.", last + 1), std::string::npos);
}

TEST(BuildMessageTest, FileNameIsTheLastPathComponent) {
    QTemporaryDir dir;
    const std::string path = WriteFile(dir, "report.pdf", "x");
    TZelSMTP smtp(nullptr);
    smtp.PostMessage.Attachments.Add(path);
    smtp.BuildMessage();
    const std::string content(smtp.ContentStream.Data());
    EXPECT_NE(content.find("name=\"report.pdf\"\r\n"), std::string::npos);
    EXPECT_NE(content.find("filename=\"report.pdf\"\r\n"), std::string::npos);
    EXPECT_EQ(content.find(dir.path().toStdString()), std::string::npos);
}

TEST(BuildMessageTest, MissingAttachmentStopsAfterItsPartHeader) {
    QTemporaryDir dir;
    const std::string good = WriteFile(dir, "good.bin", "abc");
    // A path through a regular file cannot be opened, even as root.
    const std::string bad = good + "/missing.bin";
    TZelSMTP smtp(nullptr);
    smtp.PostMessage.Attachments.Add(good);
    smtp.PostMessage.Attachments.Add(bad);
    std::vector<std::string> events;
    smtp.OnAttachmentNotFound = [&](const std::string& f) { events.push_back("missing " + f); };
    smtp.OnEncodeStart = [&](const std::string& f) { events.push_back("start " + f); };
    EXPECT_THROW(smtp.BuildMessage(), EFOpenError);
    EXPECT_EQ(events, (std::vector<std::string>{"start " + good, "missing " + bad}));
    const std::string content(smtp.ContentStream.Data());
    EXPECT_TRUE(content.ends_with("filename=\"missing.bin\"\r\n\r\n")) << content;
}

TEST(BuildMessageTest, BoundaryNeverStartsABodyLine) {
    SeededSMTP smtp;
    smtp.PostMessage.Attachments.Add("/nonexistent-dir-for-test/a");
    smtp.Seed(7);
    EXPECT_THROW(smtp.BuildMessage(), EFOpenError);
    const std::string drawn = smtp.Boundary;
    smtp.PostMessage.Body.Add("text\r\n--" + drawn + "\r\nforged part");
    smtp.Seed(7);
    EXPECT_THROW(smtp.BuildMessage(), EFOpenError);
    EXPECT_NE(smtp.Boundary, drawn);
    EXPECT_TRUE(std::regex_match(smtp.Boundary, std::regex("={20}54535[a-y]{6}====")));
}

struct InjectionCase {
    std::function<void(TZelSMTP&, const std::string&)> set;
    std::string message;
};

TEST(BuildMessageTest, LineBreaksInHeaderTextsAreRefused) {
    const std::vector<InjectionCase> cases = {
        {[](TZelSMTP& s, const std::string& v) { s.PostMessage.FromName = v; }, "FromName"},
        {[](TZelSMTP& s, const std::string& v) { s.PostMessage.FromAddress = v; }, "FromAddress"},
        {[](TZelSMTP& s, const std::string& v) { s.PostMessage.Subject = v; }, "Subject"},
        {[](TZelSMTP& s, const std::string& v) { s.PostMessage.LocalProgram = v; }, "LocalProgram"},
        {[](TZelSMTP& s, const std::string& v) { s.PostMessage.Date = v; }, "Date"},
        {[](TZelSMTP& s, const std::string& v) { s.PostMessage.ReplyTo = v; }, "ReplyTo"},
        {[](TZelSMTP& s, const std::string& v) { s.PostMessage.ToAddress.Add(v); }, "To entry"},
        {[](TZelSMTP& s, const std::string& v) { s.PostMessage.ToCarbonCopy.Add(v); }, "CC entry"},
        {[](TZelSMTP& s, const std::string& v) { s.Charset = v; }, "Charset"},
    };
    for (const InjectionCase& c : cases) {
        for (const std::string& bad : {std::string("x\r\nBcc: evil@localhost"), std::string("x\ny"),
                                       std::string("x\r"), std::string("x\0y", 3)}) {
            TZelSMTP smtp(nullptr);
            c.set(smtp, bad);
            try {
                smtp.BuildMessage();
                ADD_FAILURE() << c.message << " accepted a control byte";
            } catch (const Exception& e) {
                EXPECT_EQ(e.Message(), c.message + " contains a line break or NUL character");
            }
        }
    }
}

TEST(BuildMessageTest, PostMessagePropertiesByName) {
    EXPECT_EQ(TPostMessage::PropertyNames(),
              (std::vector<std::string>{"FromAddress", "FromName", "ToAddress", "ToCarbonCopy",
                                        "ToBlindCarbonCopy", "Body", "Attachments", "Subject",
                                        "LocalProgram", "Date", "ReplyTo"}));
    TPostMessage m;
    TStringList lines;
    lines.Add("a");
    m.SetProperty("ToCarbonCopy", lines);
    m.SetProperty("LocalProgram", "prog");
    lines.Add("b");
    EXPECT_EQ(m.ToCarbonCopy.Count(), 1) << "the record copies, it does not adopt";
    EXPECT_EQ(m.LocalProgram, "prog");
    EXPECT_THROW(m.SetProperty("Subject", lines), Exception);
    EXPECT_THROW(m.SetProperty("Body", "text"), Exception);
    EXPECT_THROW(m.SetProperty("Bcc", "x"), Exception);
}

}  // namespace
