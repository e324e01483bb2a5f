// The keyring module: passwords in the desktop keyring (Secret Service) through QtKeychain.
// Every call waits on the event loop for a few seconds at most, so a missing session bus or a
// keyring that never answers costs a short wait, never a hang.
#include <qt6keychain/keychain.h>

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <optional>

#include "platform/CodePage.h"
#include "platform/KeyringModule.h"

namespace platform {
namespace {

constexpr std::chrono::seconds kAnswerTime{5};

// A key no entry is kept under: asking for it tells whether the keyring answers at all.
constexpr const char* kProbeKey = "(keyring probe)";

struct Answer {
    QKeychain::Error error;
    QString text;
};

// Runs the job (which deletes itself when done) and waits for its answer; nullopt when none
// came in time. A job that answers later finds nobody listening.
std::optional<Answer> Run(QKeychain::Job* job) {
    std::optional<Answer> answer;
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* done) {
        const auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(done);
        answer = Answer{done->error(), read ? read->textData() : QString()};
        loop.quit();
    });
    QTimer::singleShot(kAnswerTime, &loop, &QEventLoop::quit);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);  // never a plain file instead of the keyring
    job->start();
    if (!answer)  // clicks wait until the keyring answered: no handler runs twice meanwhile
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return answer;
}

template <class JobType>
JobType* NewJob(const std::string& key) {
    auto* job = new JobType(QString::fromUtf8(kCredentialService));
    job->setKey(FromSjis(key));
    return job;
}

class Keyring : public CredentialStore {
  public:
    bool Available() override {
        if (!available_) {
            const auto answer = Run(NewJob<QKeychain::ReadPasswordJob>(kProbeKey));
            available_ = answer && (answer->error == QKeychain::NoError ||
                                    answer->error == QKeychain::EntryNotFound);
        }
        return *available_;
    }

    std::optional<std::string> ReadPassword(const std::string& key) override {
        if (!Available())
            return std::nullopt;
        const auto answer = Run(NewJob<QKeychain::ReadPasswordJob>(key));
        if (!answer || answer->error != QKeychain::NoError)
            return std::nullopt;
        return answer->text.toUtf8().toStdString();
    }

    bool WritePassword(const std::string& key, const std::string& password) override {
        if (!Available())
            return false;
        auto* job = NewJob<QKeychain::WritePasswordJob>(key);
        job->setTextData(QString::fromUtf8(password));
        const auto answer = Run(job);
        return answer && answer->error == QKeychain::NoError;
    }

    bool DeletePassword(const std::string& key) override {
        if (!Available())
            return false;
        const auto answer = Run(NewJob<QKeychain::DeletePasswordJob>(key));
        return answer &&
               (answer->error == QKeychain::NoError || answer->error == QKeychain::EntryNotFound);
    }

  private:
    std::optional<bool> available_;  // the first answer holds for the life of the process
};

}  // namespace
}  // namespace platform

extern "C" __attribute__((visibility("default"))) platform::CredentialStore*
TidemarkKeyringStore() {
    static platform::Keyring keyring;
    return &keyring;
}
