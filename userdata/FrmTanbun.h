#pragma once
// The short-phrase list: phrases from "tanbun.dat" in the program's directory, loaded when the
// window is created and saved whenever it closes. A double click hands the phrase to the compose
// window through SelectedTanbun.
#include <QDialog>

#include "userdata/DataFile.h"
#include "userdata/HandOver.h"

class QLineEdit;
class QListWidget;
class QToolButton;
class QWidget;

class TFrmTanbun : public QDialog {
    Q_OBJECT
  public:
    explicit TFrmTanbun(THandOverFields& FrmMain, QWidget* parent = nullptr);

    void FormCreate();
    // Saves; false when the file could not be written (the window must stay open).
    bool FormClose();
    // "追加(&A)", and Enter in the phrase input; true when a phrase was added.
    bool Spb_add_tanbunClick();
    void Spb_del_tanbunClick();     // "削除(&D)"
    void ListBox_TanbunDblClick();  // also Enter in the list, on a selected phrase

    QWidget* Panel1;
    QToolButton* Spb_add_tanbun;
    QToolButton* Spb_del_tanbun;
    QLineEdit* Edit1;
    QListWidget* ListBox_Tanbun;

    // Every way of closing (Esc, the close box, a choice) comes here and closes only after a save.
    void done(int result) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    int ItemIndex() const;
    void AddItem(const std::string& phrase);

    THandOverFields& FrmMain;
    userdata::TDataFile file_;
};
