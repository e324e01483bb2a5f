// Soak run of the send flow: one client and one flow, as the compose window keeps them, send
// SUCCESSES messages to a loopback sink, then FAILURES messages to peers that fail in turn at
// each step. Resident memory, open descriptors and live hidden windows are reported at the
// start, after a warm-up, after the successes and at the end; every send's outcome is checked
// against what its peer did. Exits 1 when an outcome is wrong or a count grew.
//   soak_bench [SUCCESSES [FAILURES]]
#include <dirent.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/SendFlow.h"
#include "platform/CodePage.h"
#include "platform/MessageBoxes.h"
#include "platform/NotifyWindow.h"
#include "smtp/Zelsmtp.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/ScriptedSmtp.h"

using testsupport::RefusingPort;
using testsupport::ScriptedPeer;
using namespace std::chrono_literals;

namespace {

constexpr int kTimeOut = 300;  // the client's time-out for this run, in milliseconds

class SoakFields : public TComposeFields {
  public:
    bool ToAddressEmpty() const override { return false; }
    std::string ToAddress() const override { return "to@localhost"; }
    std::string ToCarbonCopy() const override { return ""; }
    std::string ToBlindCarbonCopy() const override { return ""; }
    std::string Subject() const override { return platform::Sjis("耐久試験"); }
    std::vector<std::string> BodyLines() const override {
        return {platform::Sjis("本文の一行目です。"), "second line", "."};
    }
    void ClearFields() override { ++cleared; }
    void SetAddressFields(const std::string&, const std::string&, const std::string&) override {}
    void SetStatusText(const std::string&) override {}
    int cleared = 0;
};

// Counts the boxes the flow shows, by text.
class CountingBoxes : public platform::MessageBoxes {
  public:
    CountingBoxes() { platform::SetMessageBoxes(this); }
    ~CountingBoxes() override { platform::SetMessageBoxes(nullptr); }
    platform::MsgResult Show(const std::string&, const std::string& text, platform::MsgIcon,
                             platform::MsgButtons) override {
        shown.push_back(platform::SjisToUtf8(text));
        return platform::MsgResult::Ok;
    }
    std::vector<std::string> shown;
};

struct Counts {
    long rssKb;
    int descriptors;
    int windows;
};

Counts Measure() {
    long rss = 0;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            rss = std::strtol(line.c_str() + 6, nullptr, 10);
    }
    int descriptors = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (const dirent* e = ::readdir(dir))
            descriptors += e->d_name[0] != '.';
        ::closedir(dir);
        --descriptors;  // the directory's own
    }
    return {rss, descriptors, platform::LiveWindowCount()};
}

void Report(const char* when, const Counts& c) {
    std::printf("  %-22s rss %7ld kB  descriptors %3d  hidden windows %2d\n", when, c.rssKb,
                c.descriptors, c.windows);
}

std::unique_ptr<ScriptedPeer> Sink(const char* greeting, const char* mailReply) {
    auto peer = std::make_unique<ScriptedPeer>();
    peer->Send(greeting).ReplyEach(testsupport::SmtpReplies({{"MAIL", mailReply}}));
    return peer;
}

enum class Failure { Refused, Greeting421, Mail5xx, ResetMidReply, Silence, Count };

const char* NameOf(Failure f) {
    static const char* names[] = {"refused connection", "421 greeting", "5xx to MAIL",
                                  "reset mid-reply", "silence"};
    return names[static_cast<int>(f)];
}

std::unique_ptr<ScriptedPeer> FailingPeer(Failure f) {
    switch (f) {
        case Failure::Greeting421:
            return Sink("421 closing\r\n", "");
        case Failure::Mail5xx:
            return Sink("220 ready\r\n", "550 refused\r\n");
        case Failure::ResetMidReply: {
            auto peer = std::make_unique<ScriptedPeer>();
            peer->Send("220 ready\r\n")
                .Replies({{"HELO", "250 hi\r\n"}, {"RSET", "250 ok\r\n"}})
                .ExpectLine("MAIL")
                .Send("25")
                .Reset();
            return peer;
        }
        case Failure::Silence: {
            auto peer = std::make_unique<ScriptedPeer>();
            peer->Send("220 ready\r\n").ExpectLine("HELO");
            return peer;
        }
        default:
            return nullptr;
    }
}

class Soak {
  public:
    Soak() : flow_(smtp_, fields_) { smtp_.TimeOut = kTimeOut; }

    // One press of the send button against the port; false when the outcome was not the one
    // expected, or the boxes did not say so.
    bool SendTo(uint16_t port, bool expectSent) {
        flow_.SetSettingOverrides({{"Smtp", "127.0.0.1"},
                                   {"Port", std::to_string(port)},
                                   {"UserID", "soak"},
                                   {"Name", "Soak"},
                                   {"Email", "soak@localhost"}});
        const size_t before = boxes_.shown.size();
        flow_.Send();
        const bool sent = flow_.LastOutcome() == TSendFlow::Outcome::Sent;
        const std::string last = boxes_.shown.size() > before ? boxes_.shown.back() : "";
        // A failure's box goes on with its cause.
        const std::string told = expectSent ? "メールを送信したよ。" : "送信に失敗したよ。";
        return sent == expectSent && last.rfind(told, 0) == 0 &&
               (!expectSent || last.size() == told.size());
    }

    int Cleared() const { return fields_.cleared; }

  private:
    CountingBoxes boxes_;
    TZelSMTP smtp_{nullptr};
    SoakFields fields_;
    TSendFlow flow_;
};

void Successes(Soak& soak, int count, int& wrong, Counts& warm) {
    for (int i = 0; i < count; ++i) {
        {
            auto sink = Sink("220 ready\r\n", "250 ok\r\n");
            sink->Start();
            const bool ok = soak.SendTo(sink->Port(), true);
            // The sink must have the whole message: a send reported but not delivered is wrong.
            const bool delivered = sink->Received().find("\r\n.\r\nQUIT\r\n") != std::string::npos;
            if (!ok || !delivered) {
                ++wrong;
                std::printf("  send %d: outcome or delivery wrong\n", i + 1);
            }
        }
        if (i == std::min(count, 100) - 1) {
            warm = Measure();
            Report("after warm-up sends", warm);
        }
    }
}

void Failures(Soak& soak, int count, int& wrong, std::vector<int>& byKind) {
    constexpr int kinds = static_cast<int>(Failure::Count);
    for (int i = 0; i < count; ++i) {
        const auto kind = static_cast<Failure>(i % kinds);
        bool ok;
        if (kind == Failure::Refused) {
            RefusingPort refusing;
            ok = soak.SendTo(refusing.Port(), false);
        } else {
            auto peer = FailingPeer(kind);
            peer->Start();
            ok = soak.SendTo(peer->Port(), false);
        }
        if (ok) {
            ++byKind[static_cast<int>(kind)];
        } else {
            ++wrong;
            std::printf("  failure %d (%s): reported wrongly\n", i + 1, NameOf(kind));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int successes = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int failures = argc > 2 ? std::atoi(argv[2]) : 200;
    const auto started = std::chrono::steady_clock::now();

    Soak soak;
    const Counts start = Measure();
    Report("start", start);
    int wrong = 0;
    Counts warm = start;
    Successes(soak, successes, wrong, warm);
    const Counts afterSuccesses = Measure();
    Report("after successes", afterSuccesses);
    std::vector<int> byKind(static_cast<int>(Failure::Count), 0);
    Failures(soak, failures, wrong, byKind);
    const Counts end = Measure();
    Report("end", end);

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("  %d successes, %d failures in %.1f s; fields cleared %d times\n", successes,
                failures, seconds, soak.Cleared());
    for (int k = 0; k < static_cast<int>(Failure::Count); ++k)
        std::printf("    %-20s %d reported as failed\n", NameOf(static_cast<Failure>(k)),
                    byKind[k]);

    // Flat: no descriptor or window kept, memory within allocator noise after the warm-up.
    constexpr long kNoiseKb = 2048;
    const bool flat =
        afterSuccesses.descriptors == start.descriptors && end.descriptors == start.descriptors &&
        end.windows == start.windows && afterSuccesses.windows == start.windows &&
        afterSuccesses.rssKb - warm.rssKb < kNoiseKb && end.rssKb - warm.rssKb < kNoiseKb;
    const bool counted = wrong == 0 && soak.Cleared() == successes;
    std::printf("  %s\n", flat && counted ? "flat, every send reported as it happened"
                                          : "NOT FLAT OR WRONGLY REPORTED");
    return flat && counted ? 0 : 1;
}
