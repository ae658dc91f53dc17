// One column of a form: its label and the editor its edit style asks for,
// rendered from the data window and reporting what the clerk does.
//
// The editor holds no rule: it shows what the data window says (value,
// label, tab order, protect, background colour, tag, the codes a drop-down
// offers now) and reports typing and choices. Typing into a line or a
// multi-line edit is reported as it happens (a pending edit); picking from
// a drop-down or a radio button is reported as a choice, which the form
// enters at once. The editor never replaces the text the clerk is typing:
// not while a pending edit of its column exists, not while an input method
// composes into it.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <string>
#include <vector>

#include "foundation/data_window.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace officerecords::app {

class column_editor final : public QObject {
    Q_OBJECT

public:
    enum class kind { line, multiline, combo, radio };

    // Makes the label and the editor as children of `parent`.
    column_editor(data_window& dw, int col, QWidget* parent);

    int column() const { return col_; }
    const column_def& definition() const { return dw_.column_definition(col_); }
    kind editor_kind() const { return kind_; }
    QLabel* label() const { return label_; }
    // What the layout places: the editor, or the box of radio buttons.
    QWidget* widget() const { return widget_; }
    // What takes the focus: the editor, or the first radio button.
    QWidget* focus_widget() const;
    // The parts Tab visits in turn: the editor, or every radio button.
    std::vector<QWidget*> focus_parts() const;
    // True for the editor and for every part of it.
    bool owns(const QObject* o) const;
    // Spans a whole row of the form.
    bool wide() const { return kind_ == kind::multiline; }
    bool shown() const;
    // The clerk can enter the column now (shown, tab order > 0, not protected).
    bool enterable() const;

    // Re-reads everything from the data window.
    void render();
    // Marks the field as refused (the frame's colour for an error), or
    // takes the mark away.
    void set_marked(bool on);
    bool marked() const { return marked_; }

    // The text the editor shows as the clerk would type it: "" for an
    // empty masked date, the chosen name of a drop-down.
    QString text() const;

    // What the drop-down or radio buttons offer now, as codes.
    std::vector<std::string> offered_codes() const { return offered_; }

Q_SIGNALS:
    // The clerk changed the text (typing, pasting, an input method's commit).
    void edited(int col, const QString& text);
    // The clerk picked a code from the drop-down or the radio buttons.
    void chosen(int col, const QString& code);
    void double_clicked(int col, QPoint pos);

protected:
    // Observes input-method composition and double-clicks; swallows nothing.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void render_text(long row);
    void render_choices(long row);
    void render_state();
    QString edit_text(long row) const;
    void watch(QWidget* w);

    data_window& dw_;
    int col_;
    kind kind_;
    QLabel* label_ = nullptr;
    QWidget* widget_ = nullptr;
    QLineEdit* line_ = nullptr;
    QPlainTextEdit* multi_ = nullptr;
    QComboBox* combo_ = nullptr;
    QButtonGroup* radios_ = nullptr;
    QString mask_;
    std::vector<std::string> offered_;
    bool composing_ = false;
    bool marked_ = false;
    bool rendering_ = false;
};

}  // namespace officerecords::app
