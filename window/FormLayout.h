#pragma once

// Where the controls of the main window and of the About box stand and what they say: one
// table that both windows read. Places are in pixels; an ampersand marks the accelerator of
// the letter after it.

namespace parlune {

struct ControlPlace {
    int left;
    int top;
    int width;
    int height;
};

struct Colour {
    unsigned char red;
    unsigned char green;
    unsigned char blue;
};

// --- The main window -------------------------------------------------------------------------

inline constexpr char kFormFont[] = "Microsoft Sans Serif";
inline constexpr char kLogFont[] = "Tahoma";
inline constexpr int kFontPoints = 8;
// The outer size at start, which is also the smallest; the margin between the client area's
// edge and its contents; the panel of controls docked at the bottom inside the margin. The log
// fills the rest.
inline constexpr int kFormWidth = 600;
inline constexpr int kFormHeight = 400;
inline constexpr int kFormMargin = 8;
inline constexpr int kPanelHeight = 31;

enum class PanelControlId { Source, Target, Process, Verbose, NoCompact, About };
enum class ControlKind { Button, CheckBox };

struct PanelControl {
    PanelControlId id;
    const char* name;
    const char* caption;
    ControlKind kind;
    ControlPlace place; // in the panel; About keeps to the panel's right edge
};

// In the order of the keyboard focus, which differs from the order from left to right.
inline constexpr PanelControl kPanelControls[] = {
    {PanelControlId::Target,
     "TargetButton",
     "Select &Target...",
     ControlKind::Button,
     {98, 8, 90, 23}},
    {PanelControlId::About, "AboutButton", "&About...", ControlKind::Button, {486, 8, 90, 23}},
    {PanelControlId::Verbose,
     "VerboseCheck",
     "&Debug output",
     ControlKind::CheckBox,
     {294, 11, 89, 17}},
    {PanelControlId::Source,
     "SourceButton",
     "Select &Source...",
     ControlKind::Button,
     {0, 8, 90, 23}},
    {PanelControlId::Process, "ProcessButton", "&Process", ControlKind::Button, {196, 8, 90, 23}},
    {PanelControlId::NoCompact,
     "NoCompactCheck",
     "Do not &compact",
     ControlKind::CheckBox,
     {384, 11, 97, 17}},
};

// --- The About box ---------------------------------------------------------------------------

inline constexpr char kAboutCaption[] = "AboutForm";
inline constexpr char kAboutFont[] = "Tahoma";
inline constexpr int kAboutWidth = 192; // the client area
inline constexpr int kAboutHeight = 104;
// The white panel behind the labels, which stretches with the box's width.
inline constexpr int kAboutPanelHeight = 65;
inline constexpr Colour kAboutPanelColour{255, 255, 255};

struct AboutLabel {
    const char* name;
    const char* text;
    ControlPlace place;
    int points;
    bool bold;
    bool coloured; // in colour, or else in the box's text colour
    Colour colour;
};

// The labels keep their size and centre their text.
inline constexpr AboutLabel kAboutLabels[] = {
    {"TitleLabel", "Parlune", {0, 8, 192, 19}, 12, true, true, {0, 0, 128}},
    {"AuthorLabel", "by the Parlune developers", {0, 28, 192, 13}, 8, true, true, {255, 140, 0}},
    {"LibraryLabel", "MPQ archives: StormLib", {0, 48, 192, 13}, 8, false, false, {}},
};

inline constexpr char kCloseCaption[] = "&Close";
inline constexpr ControlPlace kClosePlace{8, 73, 177, 23};

} // namespace parlune
