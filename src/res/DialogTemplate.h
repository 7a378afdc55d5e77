#pragma once
// Dialog templates as data: each window of the program is described once, with its caption, size
// and font, and its controls with id, kind, caption, position, size and style. Positions and sizes
// are in dialog units: a quarter of the font's average character width across, an eighth of its
// character height down. CDialogBuilder (res/DialogBuilder.h) turns a template into widgets.
#include <string>
#include <vector>

enum class ControlKind {
    PushButton,    // a plain push button
    ColorButton,   // the program's own painted push button, CColorButton
    CheckBox,
    RadioButton,   // the radio buttons of one window exclude one another
    Label,         // static text; wraps at word boundaries, breaks at "\n"
    GroupBox,      // a frame with a caption, drawn under the controls it surrounds
    Edit,          // a one-line edit box
    ProgressBar,   // range 0 to 100, position 0
    DropDownList,  // a drop-down list; its height is the list's dropped height, as in a template
    ListBox,
    Picture,       // artwork named by the caption (res/Pictures.h)
    Slider,        // vertical when higher than wide
    Bar,           // a sunken separator line, horizontal when wider than high
};

// Control styles, combined with |.
enum ControlStyle : unsigned {
    CTL_NONE = 0,
    CTL_HIDDEN = 1u << 0,    // created invisible
    CTL_DISABLED = 1u << 1,  // created disabled
    CTL_READONLY = 1u << 2,  // an edit box the user cannot change
    CTL_DEFAULT = 1u << 3,   // the push button that Enter presses
    CTL_CENTER = 1u << 4,    // text centred (labels)
    CTL_RIGHT = 1u << 5,     // text right-aligned (labels)
    CTL_NOFRAME = 1u << 6,   // an edit box drawn without its frame, its text centred
};

// Dialog styles, combined with |.
enum DialogStyle : unsigned {
    DLG_NONE = 0,
    DLG_CAPTION = 1u << 0,      // a title bar showing the caption
    DLG_SYSMENU = 1u << 1,      // a close box
    DLG_MINIMIZEBOX = 1u << 2,  // a minimise box
    DLG_CENTER = 1u << 3,       // centred on the screen when built
    DLG_CHILD = 1u << 4,        // a panel inside another window: no frame, placed by its owner
};

// The id of a control that code never reaches (labels, frames, pictures).
constexpr int IDC_NONE = -1;

struct ControlTemplate {
    int id;  // IDC_NONE for a control without an id
    ControlKind kind;
    std::string caption;  // text, or a picture's name
    int x, y, w, h;       // dialog units
    unsigned style;       // ControlStyle bits
};

struct DialogTemplate {
    int number;
    std::string caption;
    int w, h;  // client size in dialog units
    std::string fontFamily;
    int fontPoints;
    unsigned style;  // DialogStyle bits
    std::vector<ControlTemplate> controls;  // in tab order
};
