#pragma once

#include "../model/Signal.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

// What an undo step belongs to: an object that registers steps keeps one as a member, so its
// steps can be removed together and are never run once it is gone. Its identity stays with the
// object for its whole life; it can't be copied, since two objects must never share one.
class UndoTarget {
public:
    UndoTarget() = default;
    UndoTarget(const UndoTarget&) = delete;
    UndoTarget& operator=(const UndoTarget&) = delete;

private:
    friend class UndoManager;
    std::shared_ptr<const int> token_ = std::make_shared<const int>(0);
};

// The undo history of one window: a stack of steps to undo and a stack of steps to redo.
//
// - A step registered while nothing is being undone or redone goes onto the undo stack and
//   empties the redo stack.
// - Undoing takes the newest undo step and runs its actions, newest first. Whatever they
//   register meanwhile becomes one step on the redo stack, so an action that registers its own
//   reverse makes redo work; redoing is the mirror image and keeps the rest of the redo stack.
// - setActionName names the newest step of the stack being registered on: during an undo the
//   redo step being built, otherwise the newest undo step. The names title the Undo and Redo
//   menu items.
// - An action whose target has been destroyed is never run; a step left with no such action
//   counts as gone.
//
// Main thread only. undo() and redo() do nothing while a step is running.
class UndoManager {
public:
    using Action = std::function<void()>;

    UndoManager() = default;
    UndoManager(const UndoManager&) = delete;
    UndoManager& operator=(const UndoManager&) = delete;

    void registerUndo(const UndoTarget& target, Action action);
    void setActionName(std::string_view name);

    bool canUndo() const;
    bool canRedo() const;
    // The names of the steps undo() and redo() would run; empty when there is none or it was
    // never named.
    std::string undoActionName() const;
    std::string redoActionName() const;

    // False when there was nothing to undo (or redo).
    bool undo();
    bool redo();
    bool isUndoing() const { return running_ == Running::undo; }
    bool isRedoing() const { return running_ == Running::redo; }

    // Drops every action registered with the target from both stacks, and the steps left empty.
    void removeAllActions(const UndoTarget& target);
    void removeAllActions();

    // After every change of either stack, so menus can update their titles and enabling.
    [[nodiscard]] Connection onChange(std::function<void()> handler) {
        return changed_.connect(std::move(handler));
    }

private:
    struct Entry {
        std::weak_ptr<const int> target;
        Action action;
    };
    struct Step {
        std::string actionName;
        std::vector<Entry> entries;
    };
    enum class Running { none, undo, redo };

    static bool isLive(const Step& step);
    static const Step* newestLive(const std::vector<Step>& stack);
    static void dropGoneSteps(std::vector<Step>& stack);
    bool run(std::vector<Step>& from, std::vector<Step>& to, Running mode);

    std::vector<Step> undoStack_;
    std::vector<Step> redoStack_;
    Running running_ = Running::none;
    // While a step runs, what its actions register; it lands on the other stack afterwards.
    Step collected_;
    Signal<> changed_;
};

} // namespace tessera
