#pragma once

namespace volumira {

// The numbers of the program's commands. They are stable: menus, the tool bar, accelerators and tests
// find a command by its number.
enum class CommandId : int {
    // Search bar and keyboard only
    SearchButton = 1,
    Search = 32773,
    NextTab = 32813,
    PreviousTab = 32814,
    // File
    NewTab = 32811,
    OpenGene = 57601,
    SaveGene = 32808,
    CloseGene = 32815,
    CloseTab = 32812,
    AnatomicSearch = 32809,
    ImportGeneList = 32810,
    RecentFile = 57616,
    Exit = 57665,
    // Edit
    Undo = 57643,
    Cut = 57635,
    Copy = 57634,
    CopyImage = 32806,
    Paste = 57637,
    SelectAll = 57642,
    // Atlas
    ShowSearchableStructures = 32783,
    HideAllStructures = 32784,
    Transparent = 32782,
    SagittalSections = 32804,
    CoronalSections = 32802,
    HorizontalSections = 32803,
    ShowFullResolutionImage = 32788,
    ShowEnclosingStructure = 32834,
    // Gene
    ShowAllExpression = 32785,
    HideAllExpression = 32786,
    ToggleExpression = 32787,
    ThresholdControls = 32835,
    ColoursUserDefined = 32790,
    ColoursAtlas = 32791,
    ColoursExpressionLevel = 32792,
    ColoursJet = 32793,
    FindSimilar = 32838,
    GetInfo = 32795,
    // View
    Reset = 32779,
    CenterOnSelection = 32825,
    ImageControls = 32775,
    ExpandedView = 32805,
    ClippingPlanes = 32807,
    ToolRotate = 32799,
    ToolPan = 32800,
    ToolSelect = 32801,
    CompassCorner = 32796,
    CompassBregma = 32797,
    CompassHide = 32798,
    Toolbar = 59392,
    StatusBar = 59393,
    Options = 32794,
    // Bookmarks
    NewBookmark = 32819,
    NewGroup = 32820,
    MarkForSnapback = 32822,
    GoBack = 32823,
    // Help
    Tutorial = 32817,
    ReleaseNotes = 32818,
    BrainAtlasSite = 32816,
    About = 57664,
};

// The three section planes by the axis they cut: 0 coronal, 1 horizontal, 2 sagittal.
inline int sectionAxisOf(CommandId id) { return static_cast<int>(id) - static_cast<int>(CommandId::CoronalSections); }

} // namespace volumira
