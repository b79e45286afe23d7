#pragma once

#include "document/CommandContext.h"
#include "document/CommandId.h"

#include <span>
#include <string>

namespace volumira {

class CommandTarget;

// The marks a menu entry can carry.
enum class CommandMark { None, Check, Radio };

// One command, once: its number, texts, keys, rules and what it does. The window builds its actions,
// menus and tool bar from these rows.
struct CommandRow {
    CommandId id;
    // With "&" before the mnemonic; the shortcut follows a tab.
    const char* menuText;
    // "status-bar prompt\ntool tip"; the tool tip may be missing.
    const char* prompt;
    // Further keys besides the one in the menu text, in Qt's portable key-sequence form; may be null.
    const char* extraShortcut;
    CommandMark mark;
    bool (*enabled)(const CommandContext&);
    // Null for commands without a mark.
    bool (*checked)(const CommandContext&);
    // Null for commands that are not built yet or do nothing.
    void (*run)(CommandTarget&);
};

// The state a command shows for a context.
struct CommandState {
    bool enabled = false;
    bool checked = false;
    bool operator==(const CommandState&) const = default;
};

// Every command of the program, in no particular order.
std::span<const CommandRow> commandTable();
// The row of a command; throws std::invalid_argument for a number not in the table.
const CommandRow& commandRow(CommandId id);
// Its enable rule and mark; a command without a handler is never enabled.
CommandState commandState(CommandId id, const CommandContext& context);
// The menu text without the shortcut part, and the shortcut after the tab ("" when none).
std::string menuLabel(const CommandRow& row);
std::string menuShortcut(const CommandRow& row);
std::string statusPrompt(const CommandRow& row);
std::string toolTip(const CommandRow& row);

// The menus of the menu bar. An entry is a command, a separator (Separator), the start of a submenu
// (SubmenuStart with its title in `title`) or its end (SubmenuEnd), or the recent-file list.
enum class MenuEntryKind { Command, Separator, SubmenuStart, SubmenuEnd, RecentFiles };
struct MenuEntry {
    MenuEntryKind kind;
    CommandId command;
    const char* title;
};
struct MenuRow {
    const char* title;
    const char* objectName;
    std::span<const MenuEntry> entries;
};
std::span<const MenuRow> menuBar();
// The tool bar's buttons; CommandId{0} stands for a separator.
std::span<const CommandId> toolBar();

} // namespace volumira
