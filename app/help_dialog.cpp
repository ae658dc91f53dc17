#include "app/help_dialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "app/app_paths.h"

namespace officerecords::app {

namespace {

constexpr const char* k_keys_caption = "常用按键";

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The page as Markdown, or a note saying which file is missing.
QString markdown_of(std::string_view page) {
    const QString path = help_page_path(page);
    QFile file(path);
    if (!path.isEmpty() && file.open(QIODevice::ReadOnly)) return QString::fromUtf8(file.readAll());
    return "# 帮助\n\n没有找到帮助页 help/" + qs(page) +
           ".md，请确认程序所在文件夹中的 help 文件夹完整。";
}

QTextBrowser* make_browser(QWidget* parent) {
    auto* b = new QTextBrowser(parent);
    // Pages name each other by file; the keys page is a tab of its own.
    b->setOpenLinks(false);
    return b;
}

// The page's first line: its heading.
QString heading_of(const QTextBrowser& b) { return b.document()->firstBlock().text().trimmed(); }

}  // namespace

help_dialog::help_dialog(QWidget* parent) : QDialog(parent) {
    setObjectName("help");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    page_ = make_browser(tabs_);
    keys_ = make_browser(tabs_);
    layout->addWidget(tabs_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText("关闭");
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    for (QTextBrowser* b : {page_, keys_}) {
        connect(b, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
            if (url.fileName() == qs(k_keys_page) + ".md") tabs_->setCurrentWidget(keys_);
        });
    }
    resize(640, 560);
}

help_dialog* help_dialog::show_for(QWidget* parent, std::string_view window) {
    help_dialog* d =
        parent ? parent->findChild<help_dialog*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!d) d = new help_dialog(parent);
    d->load(window);
    d->show();
    d->raise();
    d->activateWindow();
    return d;
}

void help_dialog::load(std::string_view window) {
    tabs_->clear();
    keys_->setMarkdown(markdown_of(k_keys_page));
    if (!window.empty()) {
        page_->setMarkdown(markdown_of(window));
        tabs_->addTab(page_, heading_of(*page_));
    }
    tabs_->addTab(keys_, k_keys_caption);
    tabs_->setCurrentIndex(0);
    setWindowTitle("帮助 — " + heading_of(window.empty() ? *keys_ : *page_));
}

QTextBrowser& help_dialog::page() { return tabs_->count() > 1 ? *page_ : *keys_; }

QTextBrowser& help_dialog::keys() { return *keys_; }

}  // namespace officerecords::app
