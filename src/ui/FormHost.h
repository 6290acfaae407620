#pragma once
// A screen built from a table of controls, like a dialog template: one
// widget per row, its objectName the control id in decimal, its accessible
// name its caption (or, for a box, slider or list, the text of the label
// named in its row), led by the scope word of the group it lies in ("Roll
// Total Gain"). Lists are spoken by that name with their chosen entry as
// their value, and radio buttons as radio buttons, also the ones the
// program checks on its own. A label's name follows its text. The host
// routes what the user does to one handler
// interface by control id, and offers by-id access to every control, so
// handlers never hold widget pointers.
//
// The table's words (captions, list items, scope words) are marked with
// QT_TRANSLATE_NOOP under one context, which the host is given: it shows
// each through QCoreApplication::translate, so a translation reaches them.
// Without a context they are shown as written. A list's items may name a
// context of their own.
//
// Geometry in the table is in screen coordinates (relative to the host),
// also for controls inside a group; the host places them inside their group
// widget. A group's row must come before the rows of its controls.
//
// GUI thread only.
#include <QHash>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include <vector>

namespace qav {

enum class ControlType {
    Button,
    CheckBox,
    Radio, // checking one unchecks the other radio buttons of its group
    Group, // a group box; parent of the controls that name it
    Label,
    Edit,
    ReadOnlyEdit,
    Slider,       // horizontal
    Spin,         // up-down control
    Combo,        // drop-down list, no selection at start
    ImageBar,     // CImageBar
    AttitudeArea, // the framed area the 3D attitude display draws into
    ProgressBar,  // 0 to 100, its percentage written on it
};

struct ControlRow
{
    int id;
    ControlType type;
    const char* caption; // UTF-8; for unlabelled boxes and sliders, their accessible name
    QRect rect;          // screen coordinates
    bool hidden = false;
    int group = 0;                       // id of the enclosing group, 0 for none
    int label = 0;                       // for boxes, sliders and lists: the label that names them
    std::vector<const char*> items = {}; // list items
    // For a group: a word that leads the accessible names of the controls
    // inside it, nested groups included ("Roll"), unless a name has it already.
    const char* scope = nullptr;
    // For a box with a screen value: its place in the order the screen reads
    // and shows the boxes (1 first); 0 for none.
    int exchange = 0;
    // For a list whose items are marked under another context than the
    // table's (a parameter table's choices): that context.
    const char* itemContext = nullptr;
};

// The screen's reactions, by control id.
class IFormEvents
{
public:
    virtual ~IFormEvents() = default;
    virtual void OnClicked(int id) = 0;          // buttons, check boxes, radio buttons
    virtual void OnTextChanged(int id) = 0;      // every change of a box's text, also by the program
    virtual void OnSelectionChanged(int id) = 0; // the user chose a list item
    virtual void OnDropDown(int id) = 0;         // a list is about to open
    virtual void OnSliderMoved(int id) = 0;      // the user moved a slider (mouse or keyboard)
    virtual void OnSliderReleased(int id) = 0;   // a mouse drag or click on a slider ended
    // Enter or Return, seen before the focused control handles it. `focusedId`
    // is the control holding the keyboard focus (0 for none of ours).
    virtual void OnEnterKey(int focusedId, bool keyDown, bool autoRepeat) = 0;
};

class FormHost : public QWidget
{
    Q_OBJECT
public:
    // `context`: the translation context the table's words are marked with
    // (a literal: the host keeps the pointer).
    FormHost(const std::vector<ControlRow>& rows, IFormEvents* events, QWidget* parent = nullptr,
             const char* context = nullptr);
    ~FormHost() override;

    QWidget* Control(int id) const { return controls_.value(id, nullptr); }
    const ControlRow* Row(int id) const;
    // The id of the control `widget` is, or lies inside; 0 if none.
    int IdOf(const QWidget* widget) const;
    int FocusedId() const;

    QString Text(int id) const;
    void SetText(int id, const QString& text);
    bool Checked(int id) const;
    void SetChecked(int id, bool checked);
    int Selection(int id) const; // -1 for none
    void SetSelection(int id, int index);
    int ItemCount(int id) const;
    QString ItemText(int id, int index) const;
    void SetItems(int id, const QStringList& items); // leaves no selection
    bool Enabled(int id) const;
    void Enable(int id, bool enabled);
    bool Visible(int id) const;               // as the table and the program set it, whether or not shown yet
    int SliderPos(int id) const;              // sliders, spin controls, progress bars
    void SetSliderPos(int id, int position);  // no notification, as a program's move
    void SetRange(int id, int low, int high); // sliders, spin controls
    // Keyboard focus into the control, its whole text selected when asked.
    void Focus(int id, bool selectAll);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A word of the table as the user reads it; `context` for one marked
    // under another context than the table's.
    QString Words(const char* text, const char* context = nullptr) const;
    QWidget* Create(const ControlRow& row, QWidget* parent);
    QString AccessibleNameOf(const ControlRow& row) const;
    void Connect(const ControlRow& row, QWidget* widget);

    IFormEvents* events_;
    const char* context_;
    std::vector<ControlRow> rows_;
    QHash<int, QWidget*> controls_;
    QHash<int, int> rowIndex_;
};

} // namespace qav
