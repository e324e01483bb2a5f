#pragma once
// Keeps what the compose window holds in its draft: saved a moment after the user stops
// typing, brought back at the next start, and asked about when the window closes with text in
// it (保存して終了 / 破棄して終了 / キャンセル).
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <string>

#include "platform/DraftStore.h"

class TFrmMain;

class TDraftKeeper : public QObject {
  public:
    // The pause in typing after which the fields are saved.
    static constexpr int kSaveDelayMs = 1500;

    TDraftKeeper(TFrmMain& FrmMain, std::unique_ptr<platform::TDraftStore> store);
    // Saves what the last pause has not saved yet.
    ~TDraftKeeper() override;

    // Fills the fields from a draft left behind, with a note in the status bar; false when
    // there was none.
    bool Restore();
    // The fields were sent and emptied: the draft goes.
    void Sent();
    // Whether the window may close now; with text in the fields the user is asked first, once:
    // a window manager may repeat the request (one Alt+F4 can bring two), and a request after
    // the answer 保存して終了 or 破棄して終了 asks nothing more.
    bool MayClose();
    // The body of a window nobody has written in yet (the signature alone): no draft, nothing to
    // ask about. Empty by default.
    void SetUntouchedBody(const QString& body);
    // Whether the fields hold nothing but that.
    bool Untouched() const;

    // The fields as a draft holds them.
    platform::TDraft Fields() const;
    void Fill(const platform::TDraft& draft);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void SaveNow();
    void SaveAfterPause();
    void Forget();
    void Edited();
    bool AskBeforeClosing();
    bool Blank(const platform::TDraft& draft) const;

    TFrmMain& FrmMain;
    std::string untouchedBody_;
    std::unique_ptr<platform::TDraftStore> store_;
    QTimer pause_;
    bool closing_ = false;  // the user chose to save or discard and end
};

// The draft files of a window whose data files live in dataDir.
std::unique_ptr<platform::TDraftStore> DraftFilesIn(const std::string& dataDir);
