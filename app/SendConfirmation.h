#pragma once
// The box before a send (誤送信防止): every recipient by field, each with a check box the user
// ticks after looking at it; 送信 is enabled once all are ticked. Recipients outside the user's
// own domains are marked 社外, in colour and in words; the attachments are named.
#include <QDialog>
#include <QString>
#include <QStringList>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;

// The domains that count as the user's own: the sender's and those listed (separated by blanks,
// commas or semicolons; an "@" before a domain is allowed), in lower case.
QStringList OwnDomains(const QString& senderEmail, const QString& listed);

// Whether the address lies outside every own domain (an address without a domain does).
bool OutsideDomains(const QString& address, const QStringList& own);

struct TConfirmRow {
    QString Field;  // "宛先", "CC" or "BCC"
    QString Text;   // the entry as typed
    bool Outside = false;
};

// One row for each entry of the three fields (UTF-8 texts), in order.
std::vector<TConfirmRow> ConfirmRows(const QString& to, const QString& cc, const QString& bcc,
                                     const QStringList& own);

class TSendConfirmation : public QDialog {
    Q_OBJECT
  public:
    TSendConfirmation(const std::vector<TConfirmRow>& rows, const QStringList& attachments,
                      QWidget* parent = nullptr);

    QLabel* Label_guide;
    std::vector<QCheckBox*> CheckBoxes;   // one for each row
    std::vector<QLabel*> Labels_outside;  // beside each row outside, nullptr beside the others
    QLabel* Label_attachments;            // nullptr without attachments
    QPushButton* Button_send;
    QPushButton* Button_cancel;

  private:
    QWidget* CreateList(const std::vector<TConfirmRow>& rows);
    void EnableSend();
};
