#pragma once
// The help viewer: shows the help document on its contents topic. The help
// file setting is either an absolute path or a bare file name; a bare name
// is looked for in the working directory, then in the program's own
// directory, and names are matched without regard to letter case.

#include <QDialog>
#include <QStringList>

class QPushButton;
class QTextBrowser;

// The file a help file setting names, or an empty string when there is none.
// An absolute setting is looked for in its own directory, a relative one in
// each of `searchDirs` in turn.
QString findHelpFile(const QString& helpFile, const QStringList& searchDirs);

class HelpWindow : public QDialog {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // The anchor of the document's contents topic.
    static inline const QString ContentsTopic = QStringLiteral("contents");

    // Opens the document on its contents topic and shows the window. A file
    // that cannot be found or read is reported in the window itself.
    void showContents(const QString& helpFile);

    // The directories a bare name is looked for in: the working directory at
    // the time of the request, then the program's directory.
    QStringList searchDirs() const;
    // Test seam: the program's directory.
    void setProgramDir(const QString& dir) { programDir_ = dir; }

    // The file shown, empty while a failure is reported.
    QString shownFile() const { return shownFile_; }

private:
    void report(const QString& text);

    QTextBrowser* browser_ = nullptr;
    QPushButton* contentsButton_ = nullptr;
    QPushButton* backButton_ = nullptr;
    QPushButton* forwardButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;

    QString programDir_;
    QString shownFile_;
};
