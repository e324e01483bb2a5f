#pragma once
// The options dialog: the SMTP server, port, user id, sender name and sender address, read from
// the settings store when the dialog is created and written back by OK.
#include <QDialog>
#include <vector>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QWidget;

class TFrmOption : public QDialog {
    Q_OBJECT
  public:
    explicit TFrmOption(QWidget* parent = nullptr);

    // Fills the five fields from the store; a value that cannot be read is reported and the
    // fields after it keep their initial text.
    void FormCreate();
    // "OK(&O)": stores the five fields as typed and closes; a failed write is reported and the
    // dialog stays open.
    void Button1Click();
    // "キャンセル": closes without storing.
    void Button2Click();

    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QGroupBox* GroupBox1;
    QGroupBox* GroupBox2;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLineEdit* Edit_userid;
    QLineEdit* Edit_smtp;
    QLineEdit* Edit_port;
    QLineEdit* Edit_name;
    QLineEdit* Edit_email;
    QPushButton* Button1;
    QPushButton* Button2;

  private:
    void CreateControls();
    QLineEdit* AddRow(QWidget* group, QLabel*& label, const char* caption, int top, int editLeft,
                      int editWidth);
    // The fields in the order they are read and written, with their value names.
    struct Field {
        const char* name;
        QLineEdit* edit;
    };
    std::vector<Field> Fields() const;
};
