#pragma once
// The address book: (name, mail address) entries from "Address.dat" in the program's directory,
// with their readings from the file beside it, loaded when the window is created and saved
// whenever it closes. Picking entries hands their addresses to the compose window through
// SelectedAddless.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "userdata/AddressBook.h"
#include "userdata/DataFile.h"
#include "userdata/HandOver.h"

class QFrame;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class TFrm_Add_Addless;

class TFrmAddress : public QDialog {
    Q_OBJECT
  public:
    explicit TFrmAddress(THandOverFields& FrmMain, QWidget* parent = nullptr);
    ~TFrmAddress() override;

    void FormCreate();
    // Saves; false when the file could not be written (the window must stay open).
    bool FormClose();
    void SpeedButton1Click();  // "アドレスの追加"
    void Spb_editClick();      // "アドレスの編集"
    void Spb_DelClick();       // "アドレスの削除"
    // "メールへ入力", a double click on a row, Enter in the list: the selected rows' addresses,
    // in list order, joined with ", ".
    void Spb_MailClick();
    void ListView_MainSelectItem();

    // Carry an entry to and from the add/edit dialog (Shift_JIS).
    std::string PendingName;
    std::string PendingAddless;
    std::string PendingYomi;

    // Shows the add/edit dialog modally; tests replace it to answer the dialog themselves.
    std::function<void(TFrm_Add_Addless&)> RunAddDialog;

    QWidget* ToolBar1;
    QToolButton* Spb_Mail;
    QFrame* Bevel1;
    QToolButton* SpeedButton1;
    QToolButton* Spb_edit;
    QToolButton* Spb_Del;
    QTreeWidget* ListView_Main;

    // Every way of closing (OK, Esc, the close box) comes here and closes only after a save.
    void done(int result) override;

  private:
    void CreateControls();
    QTreeWidgetItem* Selected() const;
    void AddRow(const userdata::TBookEntry& entry);
    void PickCurrentRow();
    std::vector<std::string> LoadReadings();
    void ShowAddDialog();
    bool NameRegistered(const std::string& name) const;

    THandOverFields& FrmMain;
    userdata::TDataFile file_;
    userdata::TDataFile readings_;
};
