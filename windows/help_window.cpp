#include "windows/help_window.h"

#include "shell/window_style.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// The entry of `dir` named `name` ignoring case; an exact match wins.
QString findInDir(const QString& dir, const QString& name) {
    const QDir d(dir);
    if (!d.exists()) return {};
    if (QFileInfo(d.filePath(name)).isFile()) return d.filePath(name);
    const QStringList entries = d.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0) return d.filePath(entry);
    return {};
}

} // namespace

QString findHelpFile(const QString& helpFile, const QStringList& searchDirs) {
    if (helpFile.isEmpty()) return {};
    const QFileInfo info(helpFile);
    if (info.isAbsolute()) return findInDir(info.absolutePath(), info.fileName());
    for (const QString& dir : searchDirs) {
        const QFileInfo inDir(QDir(dir).filePath(helpFile));
        const QString found = findInDir(inDir.absolutePath(), inDir.fileName());
        if (!found.isEmpty()) return found;
    }
    return {};
}

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("ﾍﾙﾌﾟ"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 13, false));
    // A help window stays beside the program, as a help viewer does.
    setModal(false);
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);

    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    contentsButton_ = new QPushButton(QStringLiteral("目次"), this);
    backButton_ = new QPushButton(QStringLiteral("戻る"), this);
    forwardButton_ = new QPushButton(QStringLiteral("進む"), this);
    closeButton_ = new QPushButton(QStringLiteral("閉じる"), this);
    contentsButton_->setObjectName(QStringLiteral("contentsButton"));
    backButton_->setObjectName(QStringLiteral("backButton"));
    forwardButton_->setObjectName(QStringLiteral("forwardButton"));
    closeButton_->setObjectName(QStringLiteral("closeButton"));
    for (QPushButton* b : {contentsButton_, backButton_, forwardButton_}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    closeButton_->setAutoDefault(false);
    buttons->addWidget(closeButton_);
    layout->addLayout(buttons);

    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("browser"));
    browser_->setOpenExternalLinks(true);
    layout->addWidget(browser_, 1);

    backButton_->setEnabled(false);
    forwardButton_->setEnabled(false);
    connect(browser_, &QTextBrowser::backwardAvailable, backButton_, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forwardButton_, &QPushButton::setEnabled);
    connect(backButton_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forwardButton_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(contentsButton_, &QPushButton::clicked, this, [this] {
        if (shownFile_.isEmpty()) return;
        QUrl url = QUrl::fromLocalFile(shownFile_);
        url.setFragment(ContentsTopic);
        browser_->setSource(url, QTextDocument::HtmlResource);
    });
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::close);

    resize(640, 560);
}

QStringList HelpWindow::searchDirs() const {
    const QString programDir =
        programDir_.isEmpty() ? QCoreApplication::applicationDirPath() : programDir_;
    return {QDir::currentPath(), programDir};
}

void HelpWindow::report(const QString& text) {
    shownFile_.clear();
    browser_->clearHistory();
    browser_->setSource(QUrl());
    browser_->setHtml(QStringLiteral("<h2>ﾍﾙﾌﾟ</h2><p>%1</p>").arg(text.toHtmlEscaped()));
    setWindowTitle(QStringLiteral("ﾍﾙﾌﾟ"));
}

void HelpWindow::showContents(const QString& helpFile) {
    const QStringList dirs = searchDirs();
    const QString path = findHelpFile(helpFile, dirs);
    QFile file(path);
    if (path.isEmpty()) {
        const QString where = QFileInfo(helpFile).isAbsolute()
                                  ? QFileInfo(helpFile).absolutePath()
                                  : QDir::toNativeSeparators(dirs.join(QStringLiteral(", ")));
        report(
            QStringLiteral("ﾍﾙﾌﾟﾌｧｲﾙ %1 が見つかりません (探した場所: %2)").arg(helpFile, where));
    } else if (!file.open(QIODevice::ReadOnly) || file.size() == 0) {
        report(QStringLiteral("ﾍﾙﾌﾟﾌｧｲﾙ %1 を読み込めません").arg(QDir::toNativeSeparators(path)));
    } else {
        file.close();
        shownFile_ = path;
        QUrl url = QUrl::fromLocalFile(path);
        url.setFragment(ContentsTopic);
        browser_->clearHistory();
        browser_->setSource(url, QTextDocument::HtmlResource);
        const QString title = browser_->documentTitle();
        setWindowTitle(title.isEmpty() ? QStringLiteral("ﾍﾙﾌﾟ") : title);
    }
    show();
    raise();
    activateWindow();
}
