#pragma once
// The compose window's attachments: the list under the subject (each file with its size,
// removable with the Delete key or the 削除 button), filled from the file dialog, from files
// dropped on the window, and from files or an image pasted into it; and the checks before a
// send: the reminder when the text speaks of an attachment that is not there, and files that
// went away since they were attached.
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

class QImage;
class QListWidget;
class QMimeData;
class QToolButton;

class TAttachmentList : public QWidget {
    Q_OBJECT
  public:
    // Shown under the subject of a window whose body is Memo: the list takes the top of the
    // body's place while it holds files. Pasted images are kept as files under DataDir.
    TAttachmentList(QWidget* Memo, std::string DataDir);

    // The paths in the list, in order (bytes as the file system holds them).
    std::vector<std::string> Paths() const;
    qint64 TotalBytes() const;

    // Adds the files that can be attached, each once; those that cannot are named in a box.
    void AddFiles(const QStringList& Paths);
    // Keeps the image as a PNG named after the time (画像_20261209-1530.png) and adds it.
    void AddImage(const QImage& Image);
    // Adds what a drop or a paste carries: local files, else an image. False when it carries
    // neither, so that the text goes where it was meant to.
    bool AddFrom(const QMimeData& Data);
    // Fills the list anew from a draft: a file that is gone is named in a box, not left out
    // silently.
    void Restore(const std::vector<std::string>& Paths);
    void RemoveSelected();
    // Empties the list (after a send); images that were pasted go with it.
    void Clear();

    // The 添付 button and menu entry: files chosen in the file dialog.
    void Choose();
    // Before a send: true when it may go on. Asks (送信する / 戻る) when the subject or body
    // speaks of an attachment and the list is empty; stops, naming them, when listed files are
    // gone.
    bool ReadyToSend(const QString& SubjectAndBody);
    // Files or an image dropped on these widgets, or pasted into them, are attached.
    void TakeDropsAndPastes(std::initializer_list<QWidget*> Widgets);

    // The file dialog; tests put in their own.
    std::function<QStringList(QWidget* Owner)> ChooseFiles;
    // The largest message the server took at the last send, 0 when none is known: past it, the
    // user is told as files are added.
    std::function<int64_t()> ServerLimit;

    QListWidget* List;
    QToolButton* RemoveButton;

  signals:
    void Changed();

  protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

  private:
    void Add(const QString& Path);
    void Relayout();
    void Update();
    qint64 MessageBytes() const;
    void WarnAboutSize(qint64 Before);
    void ForgetPasted(const QString& Path);
    bool TakeDropOrPaste(QEvent* Event);

    QWidget* memo_;
    QRect bodyPlace_;  // the body's place in the design while the list is empty
    std::string dataDir_;
};
