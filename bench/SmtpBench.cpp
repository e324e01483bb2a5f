// Sends two messages through TZelSMTP to a local SMTP sink and prints where the time goes:
// building the message, connecting, streaming the content, and waiting for the reply to ".".
//   smtp_bench PORT body|attach WORKDIR
#include <sys/resource.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "jconvert/jconvert.h"
#include "platform/CodePage.h"
#include "smtp/Zelsmtp.h"

namespace {

struct Clock {
    double wall;
    double cpu;
};

Clock Now() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    return {wall, seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

void Print(const char* phase, const Clock& from, const Clock& to) {
    std::printf("  %-22s wall %8.3f s  cpu %8.3f s\n", phase, to.wall - from.wall,
                to.cpu - from.cpu);
}

void FillJapaneseBody(TPostMessage& m) {
    const std::string line = SjisToJis(
        platform::Sjis("日本語の本文です。送信の速さを測るための行、ひらがなカタカナ漢字。"));
    for (size_t size = 0; size < 300 * 1024; size += line.size() + 2)
        m.Body.Add(line);
}

std::string MakeAttachment(const std::string& dir) {
    const std::string path = dir + "/attachment.bin";
    std::string bytes(10 * 1024 * 1024, '\0');
    std::mt19937 random(42);
    for (char& b : bytes)
        b = static_cast<char>(random());
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: smtp_bench PORT body|attach WORKDIR\n");
        return 2;
    }
    const std::string kind = argv[2];
    TZelSMTP smtp(nullptr);
    smtp.Host = "127.0.0.1";
    smtp.Port = std::stoi(argv[1]);
    smtp.TimeOut = 60000;
    smtp.ReportLevel = 0;
    smtp.UserID = "bench";
    smtp.Charset = "iso-2022-jp";
    TPostMessage& m = smtp.PostMessage;
    m.FromAddress = "bench@localhost";
    m.FromName = EncodeMimeHeader(platform::Sjis("計測"));
    m.Subject = EncodeMimeHeader(platform::Sjis("速度の計測"));
    m.ToAddress.Add("sink@localhost");
    if (kind == "body") {
        FillJapaneseBody(m);
    } else {
        m.Body.Add("attachment follows");
        m.Attachments.Add(MakeAttachment(argv[3]));
    }

    int packets = 0;
    Clock lastPacket{};
    smtp.OnPacketSent = [&](TObject*) {
        ++packets;
        lastPacket = Now();
    };
    Clock built{};
    smtp.OnSendStart = [&](TObject*) { built = Now(); };

    const Clock start = Now();
    smtp.Connect();
    const Clock connected = Now();
    smtp.Send();
    const Clock sent = Now();
    smtp.Disconnect();
    const Clock done = Now();

    std::printf("tidemark %s: %d bytes of content, %d packet events\n", kind.c_str(),
                smtp.TotalBytes, packets);
    Print("connect + HELO", start, connected);
    Print("build message", connected, built);
    Print("commands + content", built, lastPacket);
    Print("wait for reply to \".\"", lastPacket, sent);
    Print("QUIT + close", sent, done);
    Print("total", start, done);
    return 0;
}
