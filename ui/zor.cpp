// zor.cpp - TZOR_Main: building the window, its menus, toolbars and status bar, and the start-up steps.
#include "ui/zor.h"

#include "platform/folders.h"
#include "shellview/explistview.h"
#include "ui/aboutbox.h"
#include "ui/help_page.h"
#include "ui/infobox.h"
#include "ui/packto.h"
#include "ui/password.h"
#include "ui/passworddecrypt.h"
#include "ui/progressbox.h"
#include "ui/questionbox.h"
#include "ui/settingsbox.h"
#include "ui/uiresources.h"
#include "ui/unpackto.h"

#include <algorithm>

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace zor {

namespace {

constexpr QSize kNormalSize(544, 377);
constexpr QSize kToolButtonSize(67, 67);
constexpr QSize kUpButtonSize(23, 21);
constexpr int kDriveBoxWidth = 146;
constexpr int kComboBox1Width = 320;
constexpr int kStatusPanelWidth = 50;
constexpr int kFolderColumnWidth = 129;
// Panel 0 leaves this much of the window's width to panel 1.
constexpr int kPanel1Share = 300;

QToolButton* makeToolButton(QToolBar* bar, const QString& name, const QString& caption, const QString& icon,
                            const QString& hint) {
    auto* button = new QToolButton(bar);
    button->setObjectName(name);
    button->setText(caption);
    if (!icon.isEmpty()) button->setIcon(zorIcon(icon));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFixedSize(kToolButtonSize);
    button->setToolTip(hint);
    bar->addWidget(button);
    return button;
}

QAction* makeAction(QMenu* menu, const QString& name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

}  // namespace

TZOR_Main::TZOR_Main(QtOperationUi::Terminate terminate, std::function<void(int)> exitProgram)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowMinMaxButtonsHint),
      exitProgram_(std::move(exitProgram)) {
    setObjectName(QStringLiteral("ZOR_Main"));
    setWindowTitle(QLatin1String(kWindowCaption));
    setWindowIcon(zorIcon(QStringLiteral("zor")));
    if (!exitProgram_) exitProgram_ = [](int status) { QCoreApplication::exit(status); };

    // The other windows follow the main window, in this order.
    About = std::make_unique<TAbout>(this);
    Info = std::make_unique<TInfo>(this);
    PackToBox = std::make_unique<TPackToBox>(this);
    Progressform = std::make_unique<TProgressform>(this);
    Question = std::make_unique<TQuestion>(this);
    UnPackToBox = std::make_unique<TUnPackToBox>(this);
    PasswordBox = std::make_unique<TPasswordBox>(this);
    Decrypt = std::make_unique<TDecrypt>(this);
    SettingsDialog = std::make_unique<TSettingsDialog>(this);

    createControls();
    inputBlock_ = std::make_unique<InputBlock>(this);
    operationUi_ = std::make_unique<QtOperationUi>(
        OperationWindows {this, Progressform.get(), Question.get(), Decrypt.get(), DirList}, std::move(terminate));
    context_ = std::make_unique<OperationContext>(*operationUi_);
    createTray();

    state().ListingFresh = 0;
    state().TempPath = temporaryFolder();

    connect(PackToBox.get(), &TPackToBox::packRequested, this, &TZOR_Main::Initialize_Compression);
    connect(PackToBox.get(), &TPackToBox::errorReported, this,
            [this](const QString& text) { ReportError(kRecoverable, text); });
    connect(UnPackToBox.get(), &TUnPackToBox::unpackRequested, this, &TZOR_Main::ExtractArchive);
    connect(UnPackToBox.get(), &TUnPackToBox::errorReported, this,
            [this](const QString& text) { ReportError(kRecoverable, text); });

    resize(kNormalSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

TZOR_Main::~TZOR_Main() {
    // The dialogs are children of this window; they go before it.
    About.reset();
    Info.reset();
    PackToBox.reset();
    Progressform.reset();
    Question.reset();
    UnPackToBox.reset();
    PasswordBox.reset();
    Decrypt.reset();
    SettingsDialog.reset();
}

void TZOR_Main::createControls() {
    createMenus();
    createToolBars();

    DirList = new TExpListView(this);
    DirList->setObjectName(QStringLiteral("DirList"));
    DirList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    DirList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DirList->SetShowHidden(true);
    DirList->SetAutoLaunch(false);
    DirList->SetAcceptFileDrops(true);
    setCentralWidget(DirList);
    connectDirList();

    createStatusBar();
}

void TZOR_Main::createMenus() {
    QMenu* MenuFile = menuBar()->addMenu(QStringLiteral("&File"));
    MenuFile->setObjectName(QStringLiteral("MenuFile"));
    Delete1 = makeAction(MenuFile, QStringLiteral("Delete1"), QStringLiteral("&Delete"));
    Delete1->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    Delete1->setEnabled(false);
    connect(Delete1, &QAction::triggered, this, &TZOR_Main::Delete1Click);
    MenuFile->addSeparator()->setObjectName(QStringLiteral("N1"));
    MenuExit = makeAction(MenuFile, QStringLiteral("MenuExit"), QStringLiteral("&Exit"));
    MenuExit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));
    connect(MenuExit, &QAction::triggered, this, &TZOR_Main::MenuExitClick);

    QMenu* Options = menuBar()->addMenu(QStringLiteral("Options"));
    Options->setObjectName(QStringLiteral("Options"));
    Settings = makeAction(Options, QStringLiteral("Settings"), QStringLiteral("Settings"));
    connect(Settings, &QAction::triggered, this, &TZOR_Main::SettingsClick);
    Password = makeAction(Options, QStringLiteral("Password"), QStringLiteral("Set password for the next archive"));
    Password->setCheckable(true);
    Password->setChecked(false);
    // The handler decides the checked state itself.
    connect(Password, &QAction::triggered, this, [this] {
        Password->setChecked(!Password->isChecked());
        PasswordClick();
    });

    QMenu* Help = menuBar()->addMenu(QStringLiteral("&Help"));
    Help->setObjectName(QStringLiteral("Help"));
    Help1 = makeAction(Help, QStringLiteral("Help1"), QStringLiteral("&Help"));
    Help1->setIcon(zorIcon(QStringLiteral("help")));
    connect(Help1, &QAction::triggered, this, &TZOR_Main::Help1Click);
    Help->addSeparator()->setObjectName(QStringLiteral("N4"));
    Homepage = makeAction(Help, QStringLiteral("Homepage"), QStringLiteral("H&omepage"));
    connect(Homepage, &QAction::triggered, this, &TZOR_Main::HomepageClick);
    Help->addSeparator()->setObjectName(QStringLiteral("N2"));
    About1 = makeAction(Help, QStringLiteral("About1"), QStringLiteral("&About"));
    About1->setIcon(zorIcon(QStringLiteral("about")));
    connect(About1, &QAction::triggered, this, &TZOR_Main::About1Click);
    Update1 = makeAction(Help, QStringLiteral("Update1"), QStringLiteral("&Update"));
    connect(Update1, &QAction::triggered, this, &TZOR_Main::Update1Click);
}

void TZOR_Main::createToolBars() {
    ToolBar1 = new QToolBar(QStringLiteral("ToolBar1"), this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    PackButton = makeToolButton(ToolBar1, QStringLiteral("PackButton"), QStringLiteral("Pack"),
                                QStringLiteral("pack"), QStringLiteral("This packs all selected files and/or directories."));
    UnPackButton = makeToolButton(ToolBar1, QStringLiteral("UnPackButton"), QStringLiteral("UnPack"),
                                  QStringLiteral("unpack"),
                                  QStringLiteral("This unpacks all selected files and/or directories."));
    TestButton = makeToolButton(ToolBar1, QStringLiteral("TestButton"), QStringLiteral("Test"),
                                QStringLiteral("test"), QStringLiteral("This tests all selected files and/or directories."));
    InfoButton = makeToolButton(ToolBar1, QStringLiteral("InfoButton"), QStringLiteral("Info"),
                                QStringLiteral("info"), QStringLiteral("This gives info of the current archive."));
    LockButton = makeToolButton(ToolBar1, QStringLiteral("LockButton"), QStringLiteral("Lock"),
                                QStringLiteral("lock"), QStringLiteral("This locks the current archive."));
    connect(PackButton, &QToolButton::clicked, this, &TZOR_Main::PackButtonClick);
    connect(UnPackButton, &QToolButton::clicked, this, &TZOR_Main::UnPackButtonClick);
    connect(TestButton, &QToolButton::clicked, this, &TZOR_Main::TestButtonClick);
    connect(InfoButton, &QToolButton::clicked, this, &TZOR_Main::InfoButtonClick);
    connect(LockButton, &QToolButton::clicked, this, &TZOR_Main::LockButtonClick);
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    addToolBarBreak(Qt::TopToolBarArea);

    ToolBar2 = new QToolBar(QStringLiteral("ToolBar2"), this);
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    ToolBar2->setMovable(false);
    ToolBar2->setFloatable(false);
    UpButton = new QToolButton(ToolBar2);
    UpButton->setObjectName(QStringLiteral("UpButton"));
    UpButton->setIcon(zorIcon(QStringLiteral("up")));
    UpButton->setAutoRaise(true);
    UpButton->setMinimumSize(kUpButtonSize);
    connect(UpButton, &QToolButton::clicked, this, &TZOR_Main::UpButtonClick);
    ToolBar2->addWidget(UpButton);
    DriveBox = new QComboBox(ToolBar2);
    DriveBox->setObjectName(QStringLiteral("DriveBox"));
    DriveBox->setFixedWidth(kDriveBoxWidth);
    // `activated` comes from the person only, never from the program's own changes.
    connect(DriveBox, &QComboBox::activated, this, [this] {
        DriveBoxClick();
        DriveBoxChange();
    });
    ToolBar2->addWidget(DriveBox);
    ComboBox1 = new QComboBox(ToolBar2);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setFixedWidth(kComboBox1Width);
    ToolBar2->addWidget(ComboBox1);
    addToolBar(Qt::TopToolBarArea, ToolBar2);
    fillDriveBox();
}

void TZOR_Main::createStatusBar() {
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->setSizeGripEnabled(true);
    StatusPanel0 = new QLabel(statusBar());
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setMinimumWidth(kStatusPanelWidth);
    StatusPanel1 = new QLabel(statusBar());
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setMinimumWidth(kStatusPanelWidth);
    statusBar()->addWidget(StatusPanel0);
    statusBar()->addWidget(StatusPanel1, 1);
}

void TZOR_Main::connectDirList() {
    connect(DirList, &TExpListView::OnChangeFolder, this, &TZOR_Main::DirListChangeFolder);
    connect(DirList, &TExpListView::Click, this, &TZOR_Main::DirListClick);
    connect(DirList, &TExpListView::MouseUp, this, [this](Qt::MouseButton) { DirListMouseUp(); });
    connect(DirList, &TExpListView::DblClick, this, &TZOR_Main::DirListDblClick);
    connect(DirList, &TExpListView::KeyPress, this, &TZOR_Main::DirListKeyPress);
    // Acted on once the drop has ended, so the file manager that dragged is
    // not kept waiting while the pack-to dialog is open.
    connect(DirList, &TExpListView::OnDropFiles, this, &TZOR_Main::DirListDropFiles, Qt::QueuedConnection);
    // Keyboard, right button and Ctrl+A select as a click does.
    connect(DirList->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TZOR_Main::applySelectionRules);
    connect(DirList, &TExpListView::RowsRefilled, this, [this] {
        refreshDiskTotals();
        applySelectionRules();
    });
    // Backspace and Alt+Up go up as the Up button does.
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Backspace), QKeySequence(Qt::ALT | Qt::Key_Up)}) {
        auto* up = new QShortcut(keys, this);
        connect(up, &QShortcut::activated, this, &TZOR_Main::UpButtonClick);
    }
}

QString TZOR_Main::panelText(int panel) const { return (panel == 0 ? StatusPanel0 : StatusPanel1)->text(); }

int TZOR_Main::panelWidth(int panel) const { return (panel == 0 ? StatusPanel0 : StatusPanel1)->width(); }

void TZOR_Main::FormResize() { StatusPanel0->setFixedWidth(std::max(kStatusPanelWidth, width() - kPanel1Share)); }

void TZOR_Main::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TZOR_Main::closeEvent(QCloseEvent* event) {
    // The close box does nothing: the program is left through File > Exit.
    if (exiting_) event->accept();
    else event->ignore();
}

void TZOR_Main::FormCreate(const QStringList& arguments) {
    context_->settings = EngineSettings {9, 30, 0, 0, coreCount()};
    state().InArchive = 0;
    state().ArchiveLevel = -1;
    state().InForeignArchive = 0;
    state().FolderDepth = 0;
    state().ArchivePath.clear();
    state().currentArchiveFolder.clear();
    state().HelpPath = findHelpPage(QCoreApplication::applicationDirPath()).toStdString();

    DirList->SetActive(true);
    showFolder(QDir::currentPath());
    FormResize();

    if (arguments.isEmpty()) {
        state().FolderDepth = depthOfPath(QDir::currentPath());
        DirListChangeFolder();
        showFolderContextButtons();
        return;
    }
    openStartupArgument(arguments.first());
}

void TZOR_Main::openStartupArgument(const QString& argument) {
    show();
    FormResize();
    // The depth of the folder that holds the archive.
    state().FolderDepth = depthOfPath(QFileInfo(QFileInfo(argument).absoluteFilePath()).absolutePath());
    if (!argument.endsWith(QStringLiteral("zor")) || enterZorArchive(argument, true) != ArchiveOpening::Entered) {
        // Not an archive we can open: the working folder stays, as after a
        // start without argument.
        state().FolderDepth = depthOfPath(QDir::currentPath());
        DirListChangeFolder();
        showFolderContextButtons();
    }
}

void TZOR_Main::BringToFront() {
    // From the tray, from the task bar or from behind other windows alike.
    RestoreClick();
}

}  // namespace zor
