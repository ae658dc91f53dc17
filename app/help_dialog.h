// The help window: a window's help page rendered from its Markdown, with
// the page of the keys on a tab of its own. A page that cannot be found
// or read is replaced by a note naming the file that is missing; the
// window always opens.
//
// It is not modal: the clerk can read it while entering the record. One
// help window per parent is kept; asking again shows that one on the
// page asked for.
#pragma once

#include <QDialog>
#include <QString>
#include <string_view>

class QTabWidget;
class QTextBrowser;

namespace officerecords::app {

class help_dialog final : public QDialog {
    Q_OBJECT

public:
    // The page of the keys, shown by itself when no window is named.
    static constexpr std::string_view k_keys_page = "keys";

    // Shows the help window of `parent` (making it when there is none) on
    // the page of `window`, or on the keys alone when `window` is empty.
    static help_dialog* show_for(QWidget* parent, std::string_view window);

    // The page of the window, then the keys; only the keys for no window.
    QTabWidget& tabs() { return *tabs_; }
    // The browser of the window's page; of the keys when it shows only them.
    QTextBrowser& page();
    QTextBrowser& keys();

private:
    explicit help_dialog(QWidget* parent);
    void load(std::string_view window);

    QTabWidget* tabs_ = nullptr;
    QTextBrowser* page_ = nullptr;
    QTextBrowser* keys_ = nullptr;
};

}  // namespace officerecords::app
