#pragma once
// The dialog that adds or edits one address-book entry. It shows the book's PendingName,
// PendingAddless and PendingYomi and, on OK, puts what was typed back there.
#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TFrmAddress;

class TFrm_Add_Addless : public QDialog {
    Q_OBJECT
  public:
    explicit TFrm_Add_Addless(TFrmAddress& FrmAddress, QWidget* parent = nullptr);

    void FormCreate();
    void Button1Click();  // "OK(&O)"
    void Button2Click();  // "キャンセル"

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLineEdit* Edit_Name;
    QLineEdit* Edit_Addless;
    QLineEdit* Edit_Yomi;  // the reading, which completion matches as well
    QPushButton* Button1;
    QPushButton* Button2;

  private:
    void CreateControls();

    TFrmAddress& FrmAddress;
};
