// zor.h - TZOR_Main, ZOR's main window: folder or archive list, toolbar, menus, status bar, tray icon, start-up.
//
// The window shows a folder of the disk in DirList, or the inside of a ZOR
// archive or of a foreign archive (zip, tar, ...) in the same list, and
// starts every archive operation from its toolbar. The operations run in
// the user-interface thread through the archive layer; the window hands
// them its side (progress window, questions, error boxes) as a
// QtOperationUi and shares its state with them through the operation
// context. The handlers keep the names of the events they serve.
//
// Contexts of the list: a disk folder (InArchive 0, InForeignArchive 0), a
// ZOR archive (InArchive 1, ArchiveLevel >= 0) or a foreign archive
// (InForeignArchive 1). Pack, Delete and the selection rules act in the
// folder context only; UnPack, Test, Info and Lock in the archive context.
#pragma once

#include "archive/foreign_archive_listing.h"
#include "archive/operation_context.h"
#include "ui/input_block.h"
#include "ui/qt_operation_ui.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QSystemTrayIcon;
class QToolBar;
class QToolButton;

namespace zor {

class TAbout;
class TDecrypt;
class TExpListView;
class TInfo;
class TPackToBox;
class TPasswordBox;
class TProgressform;
class TQuestion;
class TSettingsDialog;
class TUnPackToBox;

inline constexpr char kProgramTitle[] = "ZOR 2.00";
inline constexpr char kWindowCaption[] = "ZOR 2.00 Beta";
inline constexpr int kBuildNumber = 61;
inline constexpr char kReleaseDate[] = "28/01/2001";
inline constexpr char kHomepageAddress[] = "https://zor-archiver.sourceforge.io/";

class TZOR_Main : public QMainWindow {
    Q_OBJECT
public:
    // `terminate` ends the process after a fatal error report (std::_Exit by
    // default); `exitProgram` ends it for File > Exit (QCoreApplication::exit
    // by default, which ends the message loop with that status).
    explicit TZOR_Main(QtOperationUi::Terminate terminate = {}, std::function<void(int)> exitProgram = {});
    ~TZOR_Main() override;

    // Start-up after construction: engine settings, window state, the
    // working folder, and the archive named by the first argument if any.
    void FormCreate(const QStringList& arguments = {});

    // Brings the window back to the front (from the tray too); a later copy
    // of the program asks for this.
    void BringToFront();

    // ---- state shared with the archive operations
    WindowState& state() { return context_->window; }
    const WindowState& state() const { return context_->window; }
    OperationContext& context() { return *context_; }
    QtOperationUi& operationUi() { return *operationUi_; }

    // ---- the error report: mode 1 recoverable, 0 fatal
    static constexpr int kFatal = 0;
    static constexpr int kRecoverable = 1;
    void ReportError(int mode, const QString& text);

    // ---- handlers, in the order of the toolbar and menus
    void PackButtonClick();
    void UnPackButtonClick();
    void TestButtonClick();
    void InfoButtonClick();
    void LockButtonClick();
    void UpButtonClick();
    void DriveBoxClick();
    void DriveBoxChange();
    void DirListChangeFolder();
    void DirListClick();
    void DirListMouseUp();
    void DirListDblClick();
    void DirListKeyPress(int character);
    void Delete1Click();
    void MenuExitClick();
    void SettingsClick();
    void PasswordClick();
    void Help1Click();
    void HomepageClick();
    void About1Click();
    void Update1Click();
    void ForeignArchiveRead(const ForeignArchiveEntry& entry);
    // Files and folders dropped on the list: in a disk folder, one .zor
    // file is opened; items of one folder are shown selected there and the
    // pack-to dialog asks for the archive; items of several folders are
    // refused. Inside an archive a drop does nothing.
    void DirListDropFiles(const QStringList& paths);
    void RestoreClick();

    // The packing and extraction the two folder dialogs start on OK.
    void Initialize_Compression(const QString& archivePath);
    void ExtractArchive(const QString& destinationFolder);

    // True while an operation runs: the window then takes no input.
    bool inputBlocked() const { return inputBlock_->active(); }

    // ---- what the list shows
    TExpListView* dirList() const { return DirList; }
    // Status bar panel 0 or 1.
    QString panelText(int panel) const;
    int panelWidth(int panel) const;

    // The dialogs, created once and reused.
    TPackToBox* packToBox() const { return PackToBox.get(); }
    TUnPackToBox* unPackToBox() const { return UnPackToBox.get(); }
    TPasswordBox* passwordBox() const { return PasswordBox.get(); }
    TProgressform* progressForm() const { return Progressform.get(); }
    TQuestion* questionBox() const { return Question.get(); }
    TDecrypt* decryptBox() const { return Decrypt.get(); }
    TInfo* infoBox() const { return Info.get(); }
    TAbout* aboutBox() const { return About.get(); }
    TSettingsDialog* settingsBox() const { return SettingsDialog.get(); }

    // Minimizing swaps the window for a tray icon where the desktop has a
    // tray; without one it simply minimizes. Decided at construction.
    bool usesTray() const { return trayAvailable_; }
    void setTrayAvailable(bool available) { trayAvailable_ = available; }
    QSystemTrayIcon* trayIcon() const { return TrayIcon; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // zor.cpp: construction
    void createControls();
    void createMenus();
    void createToolBars();
    void createStatusBar();
    void createTray();
    void connectDirList();
    void FormResize();
    void openStartupArgument(const QString& argument);

    // zor_button_states.cpp
    void setToolButtons(bool pack, bool unpack, bool test, bool info, bool lock);
    void setPackAndDelete(bool enabled);
    void showFolderContextButtons();
    void showZorArchiveButtons();
    bool anyRowSelected() const;
    // The rule a released mouse button applies, for any change of the selection.
    void applySelectionRules();

    // zor_folder_navigation.cpp
    void refreshDiskTotals();
    // After Up, the row of the place just left is the selected one.
    void selectRowNamed(const QString& caption);

    void fillDriveBox();
    void showFolder(const QString& path);
    static int32_t depthOfPath(const QString& absolutePath);

    // zor_archive_view.cpp
    // Entered; NotZor: the file is not a ZOR archive (nothing reported);
    // Refused: it could not be read or its header was refused (reported).
    enum class ArchiveOpening { Entered, NotZor, Refused };
    ArchiveOpening enterZorArchive(const QString& path, bool plainErrors);
    void leaveArchive();
    void setArchiveColumns();
    void ListArchiveFolder();
    bool enterForeignArchive(const QString& path);
    void openFileFromList(int row);
    int activatedRow() const;
    void openArchiveFolder(const QString& caption);

    // zor_tray.cpp
    void minimizeToTray();

    // zor_operations.cpp
    void collectSelectedFiles();
    void collectArchiveSelection();

    // Dialogs and the progress window, in the order of creation.
    std::unique_ptr<TAbout> About;
    std::unique_ptr<TInfo> Info;
    std::unique_ptr<TPackToBox> PackToBox;
    std::unique_ptr<TProgressform> Progressform;
    std::unique_ptr<TQuestion> Question;
    std::unique_ptr<TUnPackToBox> UnPackToBox;
    std::unique_ptr<TPasswordBox> PasswordBox;
    std::unique_ptr<TDecrypt> Decrypt;
    std::unique_ptr<TSettingsDialog> SettingsDialog;

    // Controls
    QToolBar* ToolBar1 = nullptr;
    QToolButton* PackButton = nullptr;
    QToolButton* UnPackButton = nullptr;
    QToolButton* TestButton = nullptr;
    QToolButton* InfoButton = nullptr;
    QToolButton* LockButton = nullptr;
    QToolBar* ToolBar2 = nullptr;
    QToolButton* UpButton = nullptr;
    QComboBox* DriveBox = nullptr;
    QComboBox* ComboBox1 = nullptr;
    TExpListView* DirList = nullptr;
    QLabel* StatusPanel0 = nullptr;
    QLabel* StatusPanel1 = nullptr;

    // Menus
    QAction* Delete1 = nullptr;
    QAction* MenuExit = nullptr;
    QAction* Settings = nullptr;
    QAction* Password = nullptr;
    QAction* Help1 = nullptr;
    QAction* Homepage = nullptr;
    QAction* About1 = nullptr;
    QAction* Update1 = nullptr;

    // Tray
    QSystemTrayIcon* TrayIcon = nullptr;
    QMenu* TrayPopupMenu = nullptr;
    QAction* Restore = nullptr;
    bool trayAvailable_ = false;

    std::unique_ptr<InputBlock> inputBlock_;
    std::unique_ptr<QtOperationUi> operationUi_;
    std::unique_ptr<OperationContext> context_;
    std::function<void(int)> exitProgram_;
    bool exiting_ = false;
    bool driveClicked_ = false;  // the user picked a drive in DriveBox
};

}  // namespace zor
