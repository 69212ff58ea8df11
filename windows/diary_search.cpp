#include "windows/diary_search.h"

#include "shell/book_document.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/feature.h"
#include "shell/theme.h"
#include "windows/background_search.h"

#include <QApplication>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTextBlock>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

std::string foldForSearch(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()))
        .normalized(QString::NormalizationForm_KC)
        .toCaseFolded()
        .toStdString();
}

namespace {

constexpr int HitRole = Qt::UserRole;
constexpr int SpanBeginRole = Qt::UserRole + 1;
constexpr int SpanEndRole = Qt::UserRole + 2;
// Typing pauses this long before a search starts.
constexpr int DebounceMs = 200;

DiarySearchWindow::SearchFunction g_search;

QString utf8(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Characters of the first `bytes` bytes of a UTF-8 line.
int charsIn(std::string_view line, std::size_t bytes) {
    return static_cast<int>(utf8(line.substr(0, bytes)).size());
}

QString dayText(const DiaryDate& d) {
    static const QString weekdays = QStringLiteral("月火水木金土日");
    const int weekday = QDate(d.year, d.month, d.day).dayOfWeek();
    return QStringLiteral("%1年%2月%3日(%4)")
        .arg(d.year)
        .arg(d.month)
        .arg(d.day)
        .arg(weekday >= 1 ? weekdays.at(weekday - 1) : QChar(u' '));
}

// The first line holding more than blanks, as the month list shows it.
bool firstTextLine(const std::string& text, DiaryHit& hit) {
    for (std::size_t start = 0, index = 0; start < text.size(); ++index) {
        const std::size_t nl = std::min(text.find('\n', start), text.size());
        const std::string_view line(text.data() + start, nl - start);
        if (!utf8(line).trimmed().isEmpty()) {
            hit.line = std::string(line);
            hit.match.line = index;
            return true;
        }
        start = nl + 1;
    }
    return false;
}

// The matching line, its first match on a marker's background.
class MatchDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const int begin = index.data(SpanBeginRole).toInt();
        const int end = index.data(SpanEndRole).toInt();
        if (end <= begin) {
            QStyledItemDelegate::paint(p, option, index);
            return;
        }
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, p, opt.widget);
        const QRect r = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget)
                            .adjusted(3, 0, -3, 0);
        const QFontMetrics fm(opt.font);
        // A match far into a long line is brought into view.
        QString before = text.left(begin);
        if (fm.horizontalAdvance(before) > r.width() / 3)
            before = fm.elidedText(before, Qt::ElideLeft, r.width() / 3);
        const QString match = text.mid(begin, end - begin);
        const QString after = text.mid(end);
        const QColor ink = opt.palette.color(
            opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text);

        p->save();
        p->setClipRect(r);
        p->setFont(opt.font);
        const int y = r.top() + (r.height() - fm.height()) / 2 + fm.ascent();
        int x = r.left();
        p->setPen(ink);
        p->drawText(x, y, before);
        x += fm.horizontalAdvance(before);
        const int w = fm.horizontalAdvance(match);
        p->fillRect(QRect(x, r.top() + 1, w, r.height() - 2), Theme::markerFill(opt.palette));
        p->setPen(Theme::markerInk(opt.palette));
        p->drawText(x, y, match);
        x += w;
        p->setPen(ink);
        p->drawText(x, y, after);
        p->restore();
    }
};

} // namespace

struct DiarySearchWindow::Outcome {
    bool monthList = false;
    std::vector<DiaryHit> hits;
    QString error;
};

DiarySearchWindow::DiarySearchWindow(CommandHost* host)
    : SearchWindow(host, {QStringLiteral("DiarySearch"),
                          QStringLiteral("日記検索"),
                          QStringLiteral("日記を開く"),
                          QStringLiteral("探す語句"),
                          QStringLiteral("探す語句（空白で区切ると、すべてを含む日記）"),
                          {QStringLiteral("日付"), QStringLiteral("内容")},
                          DebounceMs,
                          {119, 177},
                          {640, 460}}) {
    // The list shares its room with the preview of the chosen day.
    bodyLayout()->removeWidget(resultList_);
    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(resultList_);
    bodyLayout()->insertWidget(1, split, 1);
    resultList_->setAccessibleName(QStringLiteral("見つかった日記"));
    resultList_->setItemDelegateForColumn(1, new MatchDelegate(resultList_));
    resultList_->setColumnWidth(0, 130);
    preview_ = new QPlainTextEdit(split);
    preview_->setObjectName(QStringLiteral("preview"));
    preview_->setAccessibleName(QStringLiteral("選んだ日の日記"));
    preview_->setReadOnly(true);
    preview_->setFocusPolicy(Qt::ClickFocus);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    preview_->installEventFilter(this);
    connect(resultList_, &QTreeWidget::currentItemChanged, this, [this] { showPreview(); });
}

void DiarySearchWindow::setSearchFunction(SearchFunction search) {
    g_search = std::move(search);
}

void DiarySearchWindow::searchNow() {
    lastError_.clear();
    SearchWindow::searchNow();
}

void DiarySearchWindow::startSearch() {
    const std::string dir = doc_->book().diaryDir();
    const std::string query = queryEdit_->text().toStdString();
    const int year = doc_->year(), month = doc_->month();
    const bool monthList = diaryQueryWords(query, foldForSearch).empty();
    FileStore& files = doc_->files();
    const SearchFunction search =
        g_search
            ? g_search
            : SearchFunction([&files = doc_->files()](const std::string& d, const std::string& q,
                                                      const std::atomic<bool>* c) {
                  return searchDiary(files, d, q, foldForSearch, c);
              });
    statusLabel_->setText(QStringLiteral("検索中…"));
    search_->run<Outcome>(
        [=, &files](const std::atomic<bool>* cancel) {
            Outcome out;
            out.monthList = monthList;
            try {
                if (!monthList) {
                    out.hits = search(dir, query, cancel);
                    return out;
                }
                for (DiaryEntry& e : diaryMonth(files, dir, year, month)) {
                    DiaryHit hit;
                    // Opening a day's diary leaves an empty file behind: no entry.
                    if (e.error.empty() && !firstTextLine(e.text, hit)) continue;
                    hit.entry = std::move(e);
                    out.hits.push_back(std::move(hit));
                }
            } catch (const std::exception& e) {
                out.error = QString::fromUtf8(e.what());
            }
            return out;
        },
        [this](const Outcome& outcome) { showOutcome(outcome); });
}

void DiarySearchWindow::showOutcome(const Outcome& outcome) {
    hits_ = outcome.hits;
    resultList_->clear();
    QTreeWidgetItem* select = nullptr;
    const DiaryDate preferred = std::exchange(preferred_, {});
    for (std::size_t i = 0; i < hits_.size(); ++i) {
        const DiaryHit& hit = hits_[i];
        auto* item = new QTreeWidgetItem(resultList_);
        item->setData(0, HitRole, static_cast<qulonglong>(i));
        item->setText(0, dayText(hit.entry.date));
        if (!hit.entry.error.empty()) {
            item->setText(1, QStringLiteral("読み込めません (%1): %2")
                                 .arg(utf8(hit.entry.fileName), utf8(hit.entry.error)));
            item->setForeground(1, Theme::warningInk(resultList_->palette()));
        } else {
            item->setText(1, utf8(hit.line));
            item->setData(1, SpanBeginRole, charsIn(hit.line, hit.match.begin));
            item->setData(1, SpanEndRole, charsIn(hit.line, hit.match.end));
        }
        if (!select || hit.entry.date == preferred) select = item;
    }
    if (select) resultList_->setCurrentItem(select);
    showPreview();

    if (!outcome.error.isEmpty()) {
        statusLabel_->setText(outcome.error);
        // Typing on against the same failure is not interrupted again.
        if (outcome.error != lastError_) {
            lastError_ = outcome.error;
            ErrorBox::show(outcome.error);
        }
    } else if (outcome.monthList) {
        const QString month = QStringLiteral("%1年%2月の日記").arg(doc_->year()).arg(doc_->month());
        statusLabel_->setText(hits_.empty() ? month + QStringLiteral("はありません")
                                            : month + QStringLiteral(" %1 件").arg(hits_.size()));
    } else {
        statusLabel_->setText(hits_.empty() ? QStringLiteral("見つかりません")
                                            : QStringLiteral("%1 件").arg(hits_.size()));
    }
    listFilled();
}

void DiarySearchWindow::showPreview() {
    QTreeWidgetItem* item = resultList_->currentItem();
    preview_->clear();
    if (!item) return;
    const DiaryHit& hit = hits_.at(item->data(0, HitRole).toULongLong());
    if (!hit.entry.error.empty()) {
        preview_->setPlainText(utf8(hit.entry.error));
        return;
    }
    preview_->setPlainText(utf8(hit.entry.text));
    if (hit.match.end <= hit.match.begin) return;
    const QTextBlock block =
        preview_->document()->findBlockByNumber(static_cast<int>(hit.match.line));
    if (!block.isValid()) return;
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + charsIn(hit.line, hit.match.begin));
    cursor.setPosition(block.position() + charsIn(hit.line, hit.match.end),
                       QTextCursor::KeepAnchor);
    QTextEdit::ExtraSelection mark;
    mark.cursor = cursor;
    mark.format.setBackground(Theme::markerFill(preview_->palette()));
    mark.format.setForeground(Theme::markerInk(preview_->palette()));
    preview_->setExtraSelections({mark});
    // The caret goes to the match to bring it into view, without a
    // selection that would paint over the marker.
    cursor.clearSelection();
    preview_->setTextCursor(cursor);
    preview_->ensureCursorVisible();
}

void DiarySearchWindow::openRow() {
    QTreeWidgetItem* item = resultList_->currentItem();
    if (!item) return;
    const DiaryDate date = hits_.at(item->data(0, HitRole).toULongLong()).entry.date;
    doc_->goToDate(date.year, date.month, date.day);
    preferred_ = date;
    host_->showDiary();
    // The entry may have been edited: the list is read again.
    startSearch();
}

void DiarySearchWindow::showEvent(QShowEvent* e) {
    // Its picture loads the icon theme: not at start-up.
    if (!e->spontaneous()) queryEdit_->setClearButtonEnabled(true);
    SearchWindow::showEvent(e);
}
