#pragma once
// The parts of the program that are loaded when they are first used: the
// charts of the year overview and the report, the print preview and the zip archives, with the
// libraries behind them (Qt Charts, Qt Print Support, libzip). They live in
// a library of their own beside the program, zadud_late.so, so that a start
// neither loads nor links those libraries. The tests link the parts in.
// The windows and the command line reach them here; the rules are handed
// what they need (the archive its ZipCodec).

#include "ledger/book_archive.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QDialog;
class QFont;
class QPageLayout;
class QPagedPaintDevice;
class QWidget;

// What the year overview's two charts show.
struct YearChartData {
    int year = 0;
    std::vector<std::string> items;              // UTF-8, in their order
    std::vector<int> itemNumbers;                // each item's number, for its colour
    std::vector<std::array<double, 12>> expense; // per item, January first
    std::array<double, 12> totalExpense{};
    std::array<bool, 12> balanceKnown{};
    std::array<double, 12> closing{};
    const QFont* titleFont = nullptr;
    const QFont* smallFont = nullptr;
};

// The report's spending by item as a donut: one slice per entry, in order.
struct DonutChartData {
    std::string title; // UTF-8
    struct Slice {
        std::string name; // UTF-8
        double amount = 0;
        unsigned rgb = 0; // its fill, 0xRRGGBB
    };
    std::vector<Slice> slices;
    // A click on slice i (0-based).
    std::function<void(std::size_t)> picked;
    const QFont* titleFont = nullptr;
    const QFont* smallFont = nullptr;
};

// Lines over the days of a period: the running total of several periods.
struct DayLineChartData {
    std::string title; // UTF-8
    struct Line {
        std::string name;           // UTF-8
        std::vector<double> perDay; // the value on day 1, 2, ...
        unsigned rgb = 0;           // 0xRRGGBB
        bool bold = false;          // the line the chart is about
    };
    std::vector<Line> lines;
    const QFont* titleFont = nullptr;
    const QFont* smallFont = nullptr;
};

// A print preview of a document that paints itself on whatever page the
// printer has.
struct PrintPreviewRequest {
    QWidget* parent = nullptr;
    std::string objectName, title, docName; // UTF-8
    const QPageLayout* page = nullptr;      // the page it starts with
    std::function<void(QPagedPaintDevice&, const QPageLayout&)> paint;
    // Adds to the dialog before it shows; `again` paints the preview anew.
    std::function<void(QDialog& preview, std::function<void()> again)> decorate;
    std::function<void(QDialog*)> run; // shows it modally
    // Called after the pages went to a file rather than a printer (UTF-8).
    std::function<void(const std::string& path)> printedToFile;
};

struct LateParts {
    // Both return an empty string, or what went wrong.
    std::string (*zipPack)(const std::vector<ZipMember>& members, std::string& bytes);
    std::string (*zipUnpack)(const std::string& bytes, const ZipMemberCheck& check,
                             std::vector<ZipMember>& members);

    // A chart view, empty until filled; each fill replaces the chart shown.
    QWidget* (*newChartView)(QWidget* parent);
    void (*fillExpenseChart)(QWidget* view, const YearChartData& data);
    void (*fillBalanceChart)(QWidget* view, const YearChartData& data);

    void (*printPreview)(const PrintPreviewRequest& request);

    // Into a chart view as above; an empty chart says so in its title.
    void (*fillDonutChart)(QWidget* view, const DonutChartData& data);
    void (*fillDayLineChart)(QWidget* view, const DayLineChartData& data);
};

// Loads the parts on first use; throws AppError when they cannot be loaded.
const LateParts& lateParts();
// The archive's zip format, loaded on first use.
ZipCodec lateZip();

// The library's file name and the function it is reached through.
inline constexpr const char* LatePartsLibrary = "zadud_late.so";
extern "C" const LateParts* zadudLateParts();
