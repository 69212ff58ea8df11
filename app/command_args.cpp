#include "app/command_args.h"

#include <QRegularExpression>
#include <cstring>

namespace {

// The name the user types: the launcher, which the package puts on the PATH.
const QString Program = QStringLiteral("kakeibo");

const char* const Pdf = "pdf";
const char* const Restore = "restore";
const char* const Import = "import";
const char* const AddScheduled = "add-scheduled";
const char* const PostDue = "post-due";
const char* const SetMonthStart = "set-month-start";

// Qt's own options, taken by the application object before the program
// reads its arguments; a start with one of them may still show windows.
const char* const QtOptions[] = {"platform",
                                 "platformpluginpath",
                                 "platformtheme",
                                 "plugin",
                                 "qwindowgeometry",
                                 "qwindowicon",
                                 "qwindowtitle",
                                 "reverse",
                                 "session",
                                 "style",
                                 "stylesheet",
                                 "widgetcount",
                                 "display",
                                 "geometry",
                                 "name",
                                 "title",
                                 "visual",
                                 "nograb",
                                 "dograb",
                                 "qmljsdebugger"};

const CommandOption* findOption(const QString& name, bool shortForm) {
    for (const CommandOption& o : commandOptions()) {
        if (shortForm ? (o.shortName && name == QChar::fromLatin1(o.shortName))
                      : name == QLatin1String(o.name))
            return &o;
    }
    return nullptr;
}

QString dashed(const char* name) {
    return QStringLiteral("--") + QString::fromUtf8(name);
}

// "--pdf 年月 ファイル": how a command is written.
QString synopsis(const CommandOption& o) {
    QString text = dashed(o.name);
    if (o.value) text += QLatin1Char(' ') + QString::fromUtf8(o.value);
    if (o.args) text += QLatin1Char(' ') + QString::fromUtf8(o.args);
    return text;
}

// A leading minus and a digit: a negative amount, which is an argument.
bool isNegativeNumber(const QString& arg) {
    if (arg.size() < 2 || arg[0] != QLatin1Char('-')) return false;
    const QChar c = arg[1];
    return c.isDigit();
}

// Columns a terminal gives the text: two for a full-width character.
int columns(const QString& text) {
    int n = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool halfKana = u >= 0xFF61 && u <= 0xFF9F;
        n += (u >= 0x2E80 && !halfKana) ? 2 : 1;
    }
    return n;
}

} // namespace

const std::vector<CommandOption>& commandOptions() {
    // clang-format off
    static const std::vector<CommandOption> table = {
        {"help", 'h', nullptr, "この説明を表示します", nullptr, nullptr, 0},
        {"version", 'v', nullptr, "版を表示します", nullptr, nullptr, 0},
        {"csv", 0, "年か年月", "年 (1996) の年間一覧か月 (1996-12) の明細を CSV に書き出します", nullptr, "ファイル", 1},
        {"pdf", 0, "年月", "月 (1996-12) の印刷を PDF に書き出します", nullptr, "ファイル", 1},
        {"with-diary", 0, nullptr, "その月の日記のページも加えます", Pdf, nullptr, 0},
        {"search", 0, "語句", "語句をすべて含む日記の日と行を新しい順に表示します", nullptr, nullptr, 0},
        {"find", 0, "条件", "内訳の行を条件 (語句・金額・#タグ・項目:名前・日付) で探し、新しい順に表示します", nullptr, nullptr, 0},
        {"add-line", 0, "年月日", "内訳を 1 行加え、その日の項目の金額も増やします (支出は負の金額)", nullptr, "項目名 金額 ﾒﾓ", 3},
        {"set-amount", 0, "年月日", "その日の項目の金額を打ち込んだように決めます (内訳の合計より少なくはできません)", nullptr, "項目名 income|expense 金額", 3},
        {"set-budget", 0, "年月", "その月 (1996-12) から先の項目の予算を決めます", nullptr, "項目名 金額", 2},
        {"budget", 0, "年月", "月 (1996-12) の項目ごとの予算・使った額・残りを表示します", nullptr, nullptr, 0},
        {"post-due", 0, nullptr, "自動の定期入力を記帳し、1 件 1 行で表示します", nullptr, nullptr, 0},
        {"through", 0, "日付", "記帳する最後の日 (2026-12-31; 省略すると今日)", PostDue, nullptr, 0},
        {"add-scheduled", 0, nullptr, "定期入力を加え、最初の 3 回の日付を表示します", nullptr, nullptr, 0},
        {"item", 0, "項目名", "項目の名前", AddScheduled, nullptr, 0},
        {"income", 0, "金額", "収入の金額 (300,000)", AddScheduled, nullptr, 0},
        {"expense", 0, "金額", "支出の金額 (1,490)", AddScheduled, nullptr, 0},
        {"day", 0, "日", "毎月その日 (月末より後の日は月末)", AddScheduled, nullptr, 0},
        {"last-day", 0, nullptr, "毎月の末日", AddScheduled, nullptr, 0},
        {"weekday", 0, "N:曜日", "第 N 曜日 (2:mon は第 2 月曜日、5 は最後の)", AddScheduled, nullptr, 0},
        {"from", 0, "年月", "最初の月 (2026-12)", AddScheduled, nullptr, 0},
        {"every", 0, "N", "N か月ごと (12 で毎年; 省略すると毎月)", AddScheduled, nullptr, 0},
        {"until", 0, "年月", "最後の月 (2027-03)", AddScheduled, nullptr, 0},
        {"shift", 0, "before|after", "土日・祝日なら前 (before) か後 (after) の平日にずらします", AddScheduled, nullptr, 0},
        {"confirm", 0, nullptr, "自動では記帳せず、確かめてから記帳します", AddScheduled, nullptr, 0},
        {"import", 0, "ファイル", "カードや銀行の明細 (CSV) を保存した規則で記帳します", nullptr, nullptr, 0},
        {"profile", 0, "名前", "保存した列の設定を使います", Import, nullptr, 0},
        {"default-item", 0, "項目名", "規則で決まらない行の項目", Import, nullptr, 0},
        {"dry-run", 0, nullptr, "記帳せず、行の一覧だけを表示します", Import, nullptr, 0},
        {"backup", 0, "ファイル", "家計簿全体を zip ファイルに書き出します", nullptr, nullptr, 0},
        {"restore", 0, "ファイル", "zip ファイルから家計簿を戻します (置き換わるファイルがあれば一覧だけ)", nullptr, nullptr, 0},
        {"force", 0, nullptr, "内容の違うファイルも置き換えます", Restore, nullptr, 0},
        {"set-month-start", 0, "N", "月の開始日 (1〜31、給料日など) を決めます。1 は暦どおりの月です", nullptr, nullptr, 0},
        {"shift", 0, "before|after|none", "開始日が土日・祝日なら前 (before) か後 (after) の平日にずらします", SetMonthStart, nullptr, 0},
        {"naming", 0, "start|end", "期間の名を開始日の月 (start) か次の月 (end) にします (省略すると開始日 16 以上は end)", SetMonthStart, nullptr, 0},
        {"period", 0, "年月", "その月 (1996-12) の名の期間の最初と最後の日を表示します", nullptr, nullptr, 0},
        {"sync", 0, nullptr, "ほかの PC の変更と合わせ、記録どおりに直した値・同期の確認が要る値・移した競合コピーを 1 行ずつ表示します", nullptr, nullptr, 0},
        {"settle", 0, "番号", "--sync が N 番目に示した同期の確認を決めます: first は前の値、second は後の値、sum は両方の変更の和 (金額だけ)", nullptr, "first|second|sum", 1},
        {"undo", 0, nullptr, "どの PC のものでも最も新しい変更を元に戻し、戻した変更を表示します", nullptr, nullptr, 0},
        {"report", 0, "年月", "月 (1996-12) の項目ごとの支出を前の月・前年の同じ月・12 か月の平均と比べ、貯蓄率を表示します", nullptr, nullptr, 0},
    };
    // clang-format on
    return table;
}

QString CommandArgs::value(const QString& name) const {
    const auto it = values_.find(name);
    return it == values_.end() ? QString() : it->second;
}

CommandArgs CommandArgs::parse(const QStringList& arguments) {
    CommandArgs args;
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-") ||
            isNegativeNumber(arg)) {
            args.positional_ << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const bool longForm = arg.startsWith(QLatin1String("--"));
        QString name = arg.mid(longForm ? 2 : 1);
        QString value;
        const int eq = longForm ? name.indexOf(QLatin1Char('=')) : -1;
        if (eq >= 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        }
        const CommandOption* option = findOption(name, !longForm);
        const QString typed = longForm ? QStringLiteral("--") + name : arg;
        if (!option)
            throw UsageError(
                QStringLiteral("%1 というオプションはありません (%2 --help で一覧を表示します)")
                    .arg(typed, Program));
        if (option->value && eq < 0) {
            if (i + 1 == arguments.size())
                throw UsageError(QStringLiteral("%1 の後に%2を指定してください")
                                     .arg(typed, QString::fromUtf8(option->value)));
            value = arguments[++i];
        } else if (!option->value && eq >= 0) {
            throw UsageError(QStringLiteral("%1 には値を付けられません").arg(typed));
        }
        args.values_[QString::fromLatin1(option->name)] = value;
    }

    // Help and version answer whatever else is given.
    for (const char* first : {"help", "version"})
        if (args.isSet(QLatin1String(first))) {
            args.command_ = QLatin1String(first);
            return args;
        }
    const CommandOption* command = nullptr;
    for (const CommandOption& o : commandOptions()) {
        if (o.parent || !args.isSet(QLatin1String(o.name))) continue;
        if (command)
            throw UsageError(QStringLiteral("%1 と %2 は一緒に指定できません")
                                 .arg(dashed(command->name), dashed(o.name)));
        command = &o;
    }
    // An option may go with several commands (--shift): one row for each.
    for (const CommandOption& o : commandOptions()) {
        if (!o.parent || !args.isSet(QLatin1String(o.name))) continue;
        QStringList parents;
        bool fits = false;
        for (const CommandOption& same : commandOptions())
            if (same.parent && std::strcmp(same.name, o.name) == 0) {
                parents << dashed(same.parent);
                fits = fits || (command && std::strcmp(command->name, same.parent) == 0);
            }
        if (!fits)
            throw UsageError(QStringLiteral("%1 は %2 と一緒に指定してください")
                                 .arg(dashed(o.name), parents.join(QStringLiteral(" か "))));
    }
    if (!command) return args; // the windows; a folder argument is the launcher's
    args.command_ = QLatin1String(command->name);
    const int count = int(args.positional_.size());
    if (count != command->argCount) {
        const QString what =
            count < command->argCount
                ? QStringLiteral("%1 の引数が足りません").arg(dashed(command->name))
                : QStringLiteral("余分な引数があります (%1)")
                      .arg(args.positional_.mid(command->argCount).join(QLatin1Char(' ')));
        throw UsageError(what + QStringLiteral("。使い方: %1 %2").arg(Program, synopsis(*command)));
    }
    return args;
}

QString commandHelp() {
    QString text =
        QStringLiteral("使い方: %1 [データフォルダ] [オプション]\n\n"
                       "日記つきの家計簿です。オプションがなければウィンドウを開きます。\n"
                       "データフォルダを省くと KAKEIBO_DATA、それもなければ ~/kakeibo です。\n"
                       "ファイル名はデータフォルダから見た場所で、金額は 1490 とも 1,490 とも"
                       "書けます。\n\nオプション:\n")
            .arg(Program);
    std::vector<std::pair<QString, QString>> rows;
    int width = 0;
    for (const CommandOption& o : commandOptions()) {
        QString left = o.parent ? QStringLiteral("    ") : QStringLiteral("  ");
        if (o.shortName) left += QStringLiteral("-%1, ").arg(QChar::fromLatin1(o.shortName));
        left += synopsis(o);
        width = std::max(width, columns(left));
        rows.emplace_back(left, QString::fromUtf8(o.help));
    }
    for (const auto& [left, help] : rows)
        text +=
            left + QString(width + 2 - columns(left), QLatin1Char(' ')) + help + QLatin1Char('\n');
    text +=
        QStringLiteral("\n終了コード: 0 は成功、2 は指定の誤り、1 はそれ以外の失敗"
                       " (--search は見つからないとき 1、--restore は置き換えずに止めたとき 1、\n"
                       "--sync は同期の確認が残るとき 3、--undo は戻す変更がないとき 1)。\n"
                       "PC の名前は環境変数 KAKEIBO_PC、なければホスト名です。\n"
                       "詳しくは man %1 を見てください。\n")
            .arg(Program);
    return text;
}

bool namesCommandOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-' || arg[1] == '\0' || (arg[1] >= '0' && arg[1] <= '9')) continue;
        if (std::strcmp(arg, "--") == 0) return false;
        const char* name = arg + (arg[1] == '-' ? 2 : 1);
        const std::size_t length = std::strcspn(name, "=");
        bool qt = false;
        for (const char* q : QtOptions)
            qt = qt || (std::strlen(q) == length && std::strncmp(q, name, length) == 0);
        if (qt) {
            // Its value, when given apart, is no option of ours.
            if (name[length] == '\0' && std::strcmp(name, "reverse") != 0 &&
                std::strcmp(name, "nograb") != 0 && std::strcmp(name, "dograb") != 0)
                ++i;
            continue;
        }
        return true;
    }
    return false;
}

bool readAmount(const QString& typed, int64_t& value) {
    // Full-width digits, comma and minus read as half-width; a minus sign
    // (U+2212) as a hyphen-minus.
    QString text = typed.normalized(QString::NormalizationForm_KC);
    text.replace(QChar(0x2212), QLatin1Char('-'));
    static const QRegularExpression shape(
        QStringLiteral("^(-?)([0-9]{1,18}|[0-9]{1,3}(?:,[0-9]{3}){1,5})$"));
    const QRegularExpressionMatch m = shape.match(text);
    if (!m.hasMatch()) return false;
    value = m.captured(2).remove(QLatin1Char(',')).toLongLong();
    if (!m.captured(1).isEmpty()) value = -value;
    return true;
}

int64_t amountArgument(const char* option, const QString& text) {
    int64_t value = 0;
    if (!readAmount(text, value))
        throw UsageError(QStringLiteral("%1: 金額 %2 を読めません (1490 か 1,490 と書きます)")
                             .arg(QString::fromUtf8(option), text));
    return value;
}
