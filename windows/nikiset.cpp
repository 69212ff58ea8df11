#include "windows/nikiset.h"

#include "controls/dir_list.h"
#include "controls/drive_list.h"
#include "ledger/backup_store.h"
#include "ledger/config_file.h"
#include "ledger/cp932.h"
#include "shell/close_question.h"
#include "shell/error_box.h"
#include "shell/window_keys.h"
#include "shell/window_style.h"
#include "shell/zadud.h"
#include "storage/pc_name.h"

#include <QMessageBox>

#include <QAction>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QFont minchoBold(int pixelSize) {
    return WindowStyle::font(WindowStyle::MinchoP, pixelSize, true);
}

QLabel* label(QWidget* parent, const QString& text, int x, int y) {
    auto* l = new QLabel(text, parent);
    l->move(x, y);
    l->adjustSize();
    return l;
}

QFrame* panel(QWidget* parent, const char* name, int width, int height) {
    auto* p = new QFrame(parent);
    p->setObjectName(QString::fromLatin1(name));
    p->setFrameShape(QFrame::NoFrame);
    p->setFixedSize(width, height);
    return p;
}

} // namespace

TForm4::TForm4(TForm1* form1, QWidget* parent) : QDialog(parent), form1_(form1) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("家計簿環境設定"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(minchoBold(16));

    MainMenu1 = new QMenuBar(this);
    N1 = MainMenu1->addMenu(QStringLiteral("ﾌｧｲﾙ"));
    K1 = N1->addAction(QStringLiteral("保存して終了"));
    K1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Exit1 = N1->addAction(QStringLiteral("保存せず終了"));
    Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    for (QAction* a : {K1, Exit1}) {
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(MainMenu1);

    Panel1 = panel(this, "Panel1", 492, 242);
    pgc = new QTabWidget(Panel1);
    pgc->setObjectName(QStringLiteral("pgc"));
    pgc->setGeometry(0, 0, 492, 242);
    TabSheet1 = locationPage(devnm, devfl, Edit1, 1);
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    pgc->addTab(TabSheet1, QStringLiteral("家計簿環境設定"));
    TabSheet2 = locationPage(devnm2, devfl2, Edit2, 2);
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    pgc->addTab(TabSheet2, QStringLiteral("日記帳環境設定"));
    buildItemPage();
    buildBackupPage();
    // The pages that features add, after the dialog's own.
    for (SettingsPage* page : form1_->settingsPages())
        pgc->addTab(page->createWidget(pgc), page->caption());
    layout->addWidget(Panel1);

    Panel2 = panel(this, "Panel2", 492, 41);
    Button2 = new QPushButton(QStringLiteral("キャンセル"), Panel2);
    Button2->setGeometry(312, 8, 75, 25);
    Button1 = new QPushButton(QStringLiteral("Ｏ  Ｋ"), Panel2);
    Button1->setGeometry(400, 8, 75, 25);
    for (QPushButton* b : {Button1, Button2}) {
        // Neither answers Enter: no default button in this dialog.
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setFont(minchoBold(13));
    }
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2->setObjectName(QStringLiteral("Button2"));
    layout->addWidget(Panel2);

    setFixedSize(492, MainMenu1->sizeHint().height() + 242 + 41);
    move(220, 106);

    // The menu's shortcuts come before an edit box's own (Ctrl+X is "保存せず
    // 終了", not cut).
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->installEventFilter(this);

    WindowKeys::menuOnF10(this, MainMenu1);
    WindowKeys::pageTurns(pgc);
    pgc->setAccessibleName(QStringLiteral("設定のﾍﾟｰｼﾞ"));
    connect(K1, &QAction::triggered, this, guarded(this, &TForm4::K1Click));
    connect(Exit1, &QAction::triggered, this, guarded(this, &TForm4::Exit1Click));
    connect(Button1, &QPushButton::clicked, this, guarded(this, &TForm4::Button1Click));
    connect(Button2, &QPushButton::clicked, this, guarded(this, &TForm4::Button2Click));
    connect(devnm, &DriveList::driveChanged, this, guarded(this, &TForm4::devnmChange));
    connect(devfl, &DirList::directoryChanged, this, guarded(this, &TForm4::devflChange));
    connect(devnm2, &DriveList::driveChanged, this, guarded(this, &TForm4::devnm2Change));
    connect(devfl2, &DirList::directoryChanged, this, guarded(this, &TForm4::devfl2Change));
}

QWidget* TForm4::locationPage(DriveList*& drives, DirList*& dirs, QLineEdit*& edit,
                              int editNumber) {
    // Parented at once, so that the labels size themselves in the dialog's font.
    auto* page = new QWidget(Panel1);
    drives = new DriveList(page);
    drives->setGeometry(188, 20, 293, drives->sizeHint().height());
    dirs = new DirList(page);
    dirs->setGeometry(188, 60, 293, 97);
    dirs->setRoots(drives->roots());
    edit = new QLineEdit(page);
    edit->setObjectName(QStringLiteral("Edit%1").arg(editNumber));
    edit->setGeometry(188, 170, 293, 24);
    const QString whose = editNumber == 1 ? QStringLiteral("家計簿") : QStringLiteral("日記帳");
    drives->setAccessibleName(whose + QStringLiteral("ﾌｧｲﾙの格納デバイス"));
    dirs->setAccessibleName(whose + QStringLiteral("ﾌｧｲﾙの格納場所"));
    edit->setAccessibleName(whose + QStringLiteral("ﾌｧｲﾙ名"));
    label(page, QStringLiteral("ﾌｧｲﾙの格納デバイス"), 16, 20);
    label(page, QStringLiteral("ﾌｧｲﾙの格納場所"), 16, 60);
    label(page, QStringLiteral("ﾌｧｲﾙ名"), 16, 174);
    drives->setDriveOf(dirs->directory());
    return page;
}

void TForm4::buildItemPage() {
    static const char* const labels[ShownItems] = {"項目１", "項目２",   "項目３",   "項目4",
                                                   "項目５", "項目６",   "項目７",   "項目８",
                                                   "項目９", "項目１０", "項目１１", "項目１２"};
    TabSheet3 = new QWidget(Panel1);
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    for (int i = 0; i < ShownItems; ++i) {
        const int column = i / 6;
        const int y = 15 + (i % 6) * 30;
        auto* edit = new QLineEdit(TabSheet3);
        edit->setObjectName(QStringLiteral("Edit%1").arg(i + 3));
        edit->setGeometry(column == 0 ? 70 : 300, y, 121, 24);
        edit->setAccessibleName(QString::fromUtf8(labels[i]));
        label(TabSheet3, QString::fromUtf8(labels[i]), column == 0 ? 10 : 230, y + 5);
    }
    pgc->addTab(TabSheet3, QStringLiteral("項目設定"));
}

void TForm4::buildBackupPage() {
    TabSheet4 = new QWidget(Panel1);
    TabSheet4->setObjectName(QStringLiteral("TabSheet4"));
    label(TabSheet4, QStringLiteral("保存先"), 16, 20);
    BackupFolder = new QLineEdit(TabSheet4);
    BackupFolder->setObjectName(QStringLiteral("BackupFolder"));
    BackupFolder->setGeometry(120, 16, 361, 24);
    BackupFolder->setAccessibleName(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟの保存先"));
    label(TabSheet4, QStringLiteral("(空欄: ﾃﾞｰﾀのﾌｫﾙﾀﾞの backup)"), 120, 44);
    auto spin = [this](const char* name, int y, const QString& before, const QString& after,
                       int max) {
        label(TabSheet4, before, 16, y + 4);
        auto* box = new QSpinBox(TabSheet4);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(0, max);
        box->setGeometry(260, y, 70, 24);
        box->setAccessibleName(before + QStringLiteral(" (") + after + QStringLiteral(")"));
        label(TabSheet4, after, 340, y + 4);
        return box;
    };
    AllDays =
        spin("AllDays", 80, QStringLiteral("すべての版を残す期間"), QStringLiteral("日"), 366);
    DailyMonths = spin("DailyMonths", 115, QStringLiteral("その後 1日1版を残す期間"),
                       QStringLiteral("か月"), 120);
    MonthlyMonths = spin("MonthlyMonths", 150, QStringLiteral("1か月1版を残す期間"),
                         QStringLiteral("か月 (0: 無期限)"), 1200);
    // Each PC keeps its own backups, so the folder said here is the one in
    // use on this PC, even when the data folders are shared.
    BackupPlace = label(TabSheet4, {}, 16, 190);
    BackupPlace->setObjectName(QStringLiteral("BackupPlace"));
    BackupPlace->setWordWrap(true);
    BackupPlace->setFixedWidth(470);
    BackupPlace->setTextInteractionFlags(Qt::TextSelectableByMouse);
    connect(BackupFolder, &QLineEdit::textChanged, this, [this] {
        const BookFolders folders{form1_->StartDir.toStdString(), Edit1->text().toStdString(),
                                  Edit2->text().toStdString(), localPcName()};
        const std::string place =
            backupFolderOf(folders, {BackupFolder->text().trimmed().toStdString(), {}});
        BackupPlace->setText(QStringLiteral("バックアップの保存先: %1\n(この PC 専用のﾌｫﾙﾀﾞです)")
                                 .arg(QString::fromStdString(place)));
        BackupPlace->adjustSize();
    });
    pgc->addTab(TabSheet4, QStringLiteral("ﾊﾞｯｸｱｯﾌﾟ"));
}

QLineEdit* TForm4::findEdit(int n) const {
    const QString name = QStringLiteral("edit%1").arg(n);
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        if (edit->objectName().compare(name, Qt::CaseInsensitive) == 0) return edit;
    return nullptr;
}

bool TForm4::checkLedgerLocation(const QString& path) {
    return devfl->setDirectory(path);
}
bool TForm4::checkDiaryLocation(const QString& path) {
    return devfl2->setDirectory(path);
}

void TForm4::positionOnDrive(DirList* list, const QString& path) {
    if (!list->setDrive(rootOf(path, list->roots())))
        list->setDrive(rootOf(form1_->StartDir, list->roots()));
}

void TForm4::followDrive(DriveList* drives, DirList* list) {
    if (!list->setDrive(drives->drive())) list->setDrive(rootOf(form1_->StartDir, list->roots()));
}

void TForm4::FormActivate() {
    pgc->setCurrentWidget(TabSheet1);
    positionOnDrive(devfl, form1_->LedgerDir);
    if (!devnm->setDriveOf(form1_->LedgerDir)) positionOnDrive(devfl, form1_->StartDir);
    pgc->setCurrentWidget(TabSheet2);
    positionOnDrive(devfl2, form1_->DiaryDir);
    if (!devnm2->setDriveOf(form1_->DiaryDir)) positionOnDrive(devfl2, form1_->StartDir);
    pgc->setCurrentWidget(TabSheet1);

    for (int n = 3; n <= ShownItems + 2; ++n) {
        if (QLineEdit* edit = findEdit(n))
            edit->setText(
                QString::fromStdString(cp932ToUtf8Lossy(form1_->Ledger.Items[n - 2].Name)));
    }
    Edit1->setText(devfl->directory());
    Edit2->setText(devfl2->directory());

    const BackupSettings backup = readBackupSettings(
        form1_->document().files(), form1_->LedgerDir.toStdString(), nullptr, localPcName());
    // Said again even when the text is the same as last time.
    BackupFolder->setText(QStringLiteral("-"));
    BackupFolder->setText(QString::fromStdString(backup.folder));
    AllDays->setValue(backup.keep.allDays);
    DailyMonths->setValue(backup.keep.dailyMonths);
    MonthlyMonths->setValue(backup.keep.monthlyMonths);
    for (SettingsPage* page : form1_->settingsPages())
        page->load();
}

void TForm4::devnmChange() {
    followDrive(devnm, devfl);
}
void TForm4::devnm2Change() {
    followDrive(devnm2, devfl2);
}

void TForm4::devflChange() {
    Edit1->setText(devfl->directory());
    // The list can wander onto another volume; the drive list follows it.
    devnm->setDriveOf(devfl->directory());
}

void TForm4::devfl2Change() {
    Edit2->setText(devfl2->directory());
    devnm2->setDriveOf(devfl2->directory());
}

void TForm4::CfgWrite() {
    ConfigValues values;
    values.ledgerDir = Edit1->text().toStdString();
    values.diaryDir = Edit2->text().toStdString();
    for (int n = 1; n <= ShownItems; ++n) {
        const QLineEdit* edit = findEdit(n + 2);
        // An untouched box keeps the name's bytes, whatever CP932 code
        // they use for its characters.
        if (edit)
            values.names[n - 1] =
                nameBytes(edit->text().toStdString(), form1_->Ledger.Items[n].Name, n);
    }
    // An emptied edit leaves its name on the item in the main window, so
    // the name may not go to another item either.
    std::array<std::string, ShownItems> kept = values.names;
    for (int n = 1; n <= ShownItems; ++n)
        if (kept[n - 1].empty()) kept[n - 1] = form1_->Ledger.Items[n].Name;
    refuseDuplicateNames(kept);
    for (SettingsPage* page : form1_->settingsPages())
        page->check();
    // A rename reaches every month file of the book, as one undo step; in
    // another folder the files there keep their names.
    Book& book = form1_->book();
    const bool sameFolder = values.ledgerDir == book.ledgerDir();
    Book::RenamePlan plan;
    if (sameFolder && !form1_->monthNeverLoaded()) plan = book.planRename(values.names);
    if (!plan.months.empty()) {
        QString text = QStringLiteral("項目名の変更を %1 か月分のファイルに反映します。")
                           .arg(plan.months.size());
        if (!plan.merged.empty())
            text += QStringLiteral("\n\n%1 か月分のファイルには新しい名前の金額がすでにあります。"
                                   "同じ項目として合計します。")
                        .arg(plan.merged.size());
        text += QStringLiteral("\n\nよろしいですか?");
        if (Modal::ask(text, QStringLiteral("RenameConfirm"), QMessageBox::Yes | QMessageBox::No,
                       QMessageBox::No, QMessageBox::Question, this) != QMessageBox::Yes)
            throw Cancelled{};
    }
    // The backup page's side file goes with the ledger folder chosen; it is
    // written only when it changes, and first: a folder that refuses it
    // leaves the configuration and the main window as they were.
    const BackupSettings backup{BackupFolder->text().trimmed().toStdString(),
                                {AllDays->value(), DailyMonths->value(), MonthlyMonths->value()}};
    const std::string pc = localPcName();
    const BackupSettings before =
        readBackupSettings(form1_->document().files(), values.ledgerDir, nullptr, pc);
    if (backup.folder != before.folder || !(backup.keep == before.keep))
        writeBackupSettings(form1_->document().files(), values.ledgerDir, backup, pc);
    for (SettingsPage* page : form1_->settingsPages())
        page->store(values.ledgerDir);
    if (plan.renames.empty())
        writeConfig(form1_->document().files(), form1_->StartDir.toStdString(), values);
    else
        book.renameItems(plan, formatConfig(values));

    // Only a file safely in place changes the main window.
    for (int n = 1; n <= ShownItems; ++n) {
        if (!values.names[n - 1].empty()) form1_->Ledger.Items[n].Name = values.names[n - 1];
    }
    form1_->LedgerDir = Edit1->text();
    form1_->DiaryDir = Edit2->text();
    form1_->configurationWritten();
}

void TForm4::Button1Click() {
    CfgWrite();
    accept();
    // After a failed start-up read the month was never loaded with names;
    // saving it now would empty its file, so it is read first, under the new
    // settings.
    if (form1_->monthNeverLoaded()) form1_->LoadMonths();
}

void TForm4::K1Click() {
    Button1Click();
}
void TForm4::Button2Click() {
    reject();
}
void TForm4::Exit1Click() {
    Button2Click();
}

void TForm4::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    runGuarded([this] { FormActivate(); });
    shownValues_ = currentValues();
    // The keys start on the page tabs: the arrows turn the pages, Tab goes
    // into the page shown.
    pgc->tabBar()->setFocus(Qt::OtherFocusReason);
}

QStringList TForm4::currentValues() const {
    QStringList values;
    for (const QLineEdit* edit : findChildren<QLineEdit*>())
        if (edit != Edit1 && edit != Edit2) values << edit->text();
    for (const QSpinBox* box : findChildren<QSpinBox*>())
        values << QString::number(box->value());
    return values;
}

bool TForm4::unsaved() const {
    // A folder picked in a list stays picked for the next showing; only a
    // path typed over it would be lost.
    return currentValues() != shownValues_ || Edit1->text() != devfl->directory() ||
           Edit2->text() != devfl2->directory();
}

void TForm4::reject() {
    // "キャンセル", "保存せず終了" and the close box all come here.
    if (!CloseQuestion::mayClose(unsaved(), this)) return;
    QDialog::reject();
}

void TForm4::keyPressEvent(QKeyEvent* event) {
    // Enter and Esc press no button here.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TForm4::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        for (const QAction* a : {K1, Exit1}) {
            if (a->isEnabled() && a->shortcut() == pressed) {
                // Left unaccepted, the key goes to the shortcut, not the edit.
                event->ignore();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
