#include "windows/nikki.h"

#include "ledger/book.h"
#include "ledger/cp932.h"
#include "ledger/diary_draft.h"
#include "ledger/diary_file.h"
#include "ledger/text_file.h"
#include "shell/calendar.h"
#include "shell/close_question.h"
#include "shell/error_box.h"
#include "shell/window_style.h"
#include "shell/zadud.h"
#include "windows/form_frame.h"

#include <QAction>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

TForm3::TForm3(TForm1* form1) : QDialog(form1), form1_(form1) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("日記"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 12, false));

    const FormFrame frame = buildFormFrame(this);
    MainMenu1 = frame.menuBar;
    File1 = frame.fileMenu;
    Exit1 = addCommand(File1, QStringLiteral("保存して終了"), Qt::Key_S);
    Exit2 = addCommand(File1, QStringLiteral("保存せず終了"), Qt::Key_X);
    Restore1 = File1->addAction(QStringLiteral("バックアップから復元..."));
    Restore1->setEnabled(false);
    Panel1 = frame.panel;

    Memo1 = new QPlainTextEdit(Panel1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->installEventFilter(this);
    connect(Memo1->document(), &QTextDocument::contentsChange, this,
            [this](int position, int, int added) { showStoredForms(position, added); });
    Memo1->setAccessibleName(QStringLiteral("日記の本文"));
    DraftNote = new QLabel(Panel1);
    DraftNote->setObjectName(QStringLiteral("DraftNote"));
    DraftNote->setWordWrap(true);
    DraftNote->hide();
    frame.panelLayout->addWidget(DraftNote);
    frame.panelLayout->addWidget(Memo1);

    DraftTimer.setSingleShot(true);
    DraftTimer.setInterval(DraftPauseMs);
    connect(Memo1, &QPlainTextEdit::textChanged, this, [this] {
        endingKept_ = false;
        DraftTimer.start();
    });
    connect(&DraftTimer, &QTimer::timeout, this, &TForm3::keepDraft);

    connect(Exit1, &QAction::triggered, this, guarded(this, &TForm3::Exit1Click));
    connect(Exit2, &QAction::triggered, this, guarded(this, &TForm3::Exit2Click));
    connect(Restore1, &QAction::triggered, this, guarded(this, &TForm3::Restore1Click));

    // The design's outer size, 540 x 388, less a standard frame.
    move(119, 177);
    resize(532, 361);
}

void TForm3::setVersionChooser(std::function<bool(int, int, int, std::string&)> choose) {
    chooseVersion_ = std::move(choose);
    Restore1->setEnabled(static_cast<bool>(chooseVersion_));
}

void TForm3::Restore1Click() {
    const BookDocument& doc = form1_->document();
    std::string bytes;
    if (!chooseVersion_ || !chooseVersion_(doc.year(), doc.month(), doc.day(), bytes)) return;
    // Through the book, so that the main window's undo takes it back; the
    // memo then shows the entry restored.
    form1_->book().setDiary(doc.year(), doc.month(), doc.day(), bytes, ChangeSource::Restored);
    // The chosen version replaces the entry and whatever was typed over it.
    dropDraft();
    load(false);
}

std::string TForm3::diaryDir() const {
    return form1_->DiaryDir.toStdString();
}

std::string TForm3::entryPath() const {
    const BookDocument& doc = form1_->document();
    return joinPath(diaryDir(), diaryFileName(doc.year(), doc.month(), doc.day()));
}

std::string TForm3::draftPath() const {
    const Book& book = form1_->book();
    return joinPath(book.ledgerDir(), diaryDraftFileName(book.pcName()));
}

void TForm3::FormActivate() {
    load(true);
}

void TForm3::load(bool withDraft) {
    DraftTimer.stop();
    endingKept_ = false;
    DraftNote->hide();
    draftKept_ = false;
    Memo1->clear();
    loaded_ = false;
    loadedBytes_.clear();
    loadedText_.clear();
    const BookDocument& doc = form1_->document();
    year_ = doc.year();
    month_ = doc.month();
    day_ = doc.day();
    // Every day's diary looks alike: the title says whose it is.
    setWindowTitle(
        QStringLiteral("日記 %1年%2月%3日").arg(doc.year()).arg(doc.month()).arg(doc.day()));
    FileStamp stamp;
    std::string bytes = loadDiaryFile(form1_->document().files(), diaryDir(), doc.year(),
                                      doc.month(), doc.day(), &stamp);
    entryRead_.note(form1_->document().files(), entryPath(), stamp);
    // Bytes that are not CP932 ride along as private-use characters, so an
    // edited save writes them back too.
    Memo1->setPlainText(QString::fromStdString(diaryMemoText(bytes)));
    loadedText_ = Memo1->toPlainText().toStdString();
    loadedBytes_ = std::move(bytes);
    loaded_ = true;
    if (withDraft) offerDraft();
    // Showing what is on disk is no typing.
    DraftTimer.stop();
}

void TForm3::offerDraft() {
    std::vector<DiaryDraft> drafts;
    try {
        drafts = DiaryDraftFile(form1_->document().files(), draftPath()).read();
    } catch (const std::exception&) {
        // Kept for the next opening: the entry itself opens as usual.
        return;
    }
    const auto draft = std::find_if(drafts.begin(), drafts.end(), [this](const DiaryDraft& d) {
        return d.isDay(year_, month_, day_);
    });
    if (draft == drafts.end()) return;
    draftKept_ = true;
    const std::string text = draft->memoText();
    if (text == loadedText_) {
        // Saved already; only the draft's removal was cut short.
        dropDraft();
        return;
    }
    // The draft is shown, never written: saving it is the user's word. An
    // entry changed since the typing started (another PC, an edit) keeps
    // its text, and the draft's follows it.
    const bool replaces = draft->startedFrom(loadedBytes_) || loadedText_.empty();
    Memo1->setPlainText(QString::fromStdString(replaces ? text : loadedText_ + "\n" + text));
    DraftNote->setText(
        replaces ? QStringLiteral("前回保存されなかった入力を戻しました。"
                                  "保存するには「保存して終了」を選んでください。")
                 : QStringLiteral("この日の日記は、前回の入力の後にほかで書き換えられています。"
                                  "今の日記の後に、保存されなかった入力を並べました。"
                                  "保存するには「保存して終了」を選んでください。"));
    DraftNote->show();
}

void TForm3::keepDraft() {
    writeDraft();
}

bool TForm3::writeDraft() {
    DraftTimer.stop();
    if (!isVisible()) return true;
    try {
        DiaryDraftFile file(form1_->document().files(), draftPath());
        if (unsaved()) {
            file.keep(makeDiaryDraft(year_, month_, day_, loadedBytes_,
                                     Memo1->toPlainText().toStdString()));
            draftKept_ = true;
        } else if (draftKept_) {
            file.drop(year_, month_, day_);
            draftKept_ = false;
        }
        return true;
    } catch (const std::exception&) {
        // The text is still in the window and saving reports its own
        // errors; the next pause tries again.
        return false;
    }
}

void TForm3::sessionEnds() {
    if (!isVisible()) return;
    // Typing on (a logout cancelled) clears it: closing then asks again.
    endingKept_ = writeDraft() && unsaved();
}

void TForm3::dropDraft() {
    if (!draftKept_) return;
    try {
        DiaryDraftFile(form1_->document().files(), draftPath()).drop(year_, month_, day_);
        draftKept_ = false;
    } catch (const std::exception&) {
        // Left on disk: the next opening finds it equal to the entry, or
        // offers it again, and never writes it unasked.
    }
}

void TForm3::Exit1Click() {
    const BookDocument& doc = form1_->document();
    // A day file that was there but could not be read is never written over
    // unseen: the read is tried again, and its error keeps the window open.
    if (!loaded_) {
        FileStamp stamp;
        loadDiaryFile(form1_->document().files(), diaryDir(), doc.year(), doc.month(), doc.day(),
                      &stamp);
        entryRead_.note(form1_->document().files(), entryPath(), stamp);
    }
    const std::string text = Memo1->toPlainText().toStdString();
    const std::string bytes =
        loaded_ ? diarySaveBytes(loadedBytes_, loadedText_, text) : diaryMemoBytes(text);
    // Another copy of the program may have written this day since; a reload
    // shows its entry and keeps the window open.
    if (!entryRead_.confirmReplace(form1_->document().files(), this, entryPath())) {
        // The user chose the other copy's entry over the typed text.
        dropDraft();
        load(false);
        return;
    }
    form1_->book().setDiary(doc.year(), doc.month(), doc.day(), bytes, ChangeSource::Typed);
    entryRead_.note(form1_->document().files(), entryPath(), stampOf(bytes));
    dropDraft();
    accept();
}

void TForm3::showStoredForms(int position, int added) {
    if (replacing_ || added <= 0) return;
    QTextDocument* doc = Memo1->document();
    const int end = std::min(position + added, doc->characterCount() - 1);
    QTextCursor cursor(doc);
    bool joined = false;
    for (int at = position; at < end; ++at) {
        const QChar typed = doc->characterAt(at);
        if (typed.unicode() < 0x80 || typed.isSurrogate()) continue;
        const char32_t stored = cp932StoredAs(typed.unicode());
        // A neighbour outside ASCII only: ¥ is stored as "\", which is
        // no stand-in for it, so saving names it instead.
        if (stored == typed.unicode() || stored < 0x80 || stored > 0xFFFF) continue;
        replacing_ = true;
        cursor.setPosition(at);
        cursor.setPosition(at + 1, QTextCursor::KeepAnchor);
        // One undo step with the typing that brought the character.
        if (!joined) cursor.joinPreviousEditBlock();
        cursor.insertText(QString(QChar(static_cast<char16_t>(stored))));
        if (!joined) cursor.endEditBlock();
        joined = true;
        replacing_ = false;
    }
}

void TForm3::Exit2Click() {
    reject();
}

bool TForm3::unsaved() const {
    const std::string text = Memo1->toPlainText().toStdString();
    return loaded_ ? text != loadedText_ : !text.empty();
}

void TForm3::reject() {
    // "保存せず終了" and the close box both come here; typed text is dropped
    // only on the user's word.
    if (endingKept_) {
        // The session ends and the text is in the draft: nobody is there to
        // answer, and nothing is lost.
        QDialog::reject();
        return;
    }
    if (!CloseQuestion::mayClose(unsaved(), this)) return;
    dropDraft();
    QDialog::reject();
}

void TForm3::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) runGuarded([this] { FormActivate(); });
    Memo1->setFocus();
}

void TForm3::keyPressEvent(QKeyEvent* e) {
    // Escape would close the window and drop the text; only the two menu
    // commands and the close box leave it.
    if (e->key() == Qt::Key_Escape) return;
    QDialog::keyPressEvent(e);
}

bool TForm3::eventFilter(QObject* watched, QEvent* e) {
    // The memo claims Ctrl+X (cut) before shortcuts are matched; the menu's
    // keys win here, so they are left to the shortcut map.
    if (watched == Memo1 && e->type() == QEvent::ShortcutOverride) {
        const QKeySequence pressed(static_cast<QKeyEvent*>(e)->keyCombination());
        if (pressed == Exit1->shortcut() || pressed == Exit2->shortcut()) {
            e->ignore();
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}
