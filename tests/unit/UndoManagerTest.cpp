#include "core/app/UndoManager.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace tessera;

namespace {

// Edits one text the way the application state edits a layout: each change first registers a
// step that applies the previous text again through the same operation, so undoing registers
// the reverse step and redo works.
class Document {
public:
    explicit Document(std::string text = {}) : text_(std::move(text)) {}

    void apply(const std::string& text, const std::string& actionName, UndoManager* undo) {
        if (undo != nullptr) {
            undo->registerUndo(target_, [this, previous = text_, actionName, undo] {
                apply(previous, actionName, undo);
            });
            undo->setActionName(actionName);
        }
        text_ = text;
    }

    const std::string& text() const { return text_; }
    const UndoTarget& target() const { return target_; }

private:
    UndoTarget target_;
    std::string text_;
};

} // namespace

TEST(UndoManagerTest, UndoAndRedoWalkThroughTheEditsUntilANewStep) {
    UndoManager undo;
    Document doc("a");
    int changes = 0;
    const auto connection = undo.onChange([&] { ++changes; });
    EXPECT_FALSE(undo.undo());
    EXPECT_FALSE(undo.redo());
    EXPECT_EQ(changes, 0);

    doc.apply("b", "Add Zone", &undo);
    doc.apply("c", "Split Zone", &undo);
    doc.apply("d", "Delete Zone", &undo);
    EXPECT_EQ(undo.undoActionName(), "Delete Zone");
    const auto beforeUndo = changes;
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(changes, beforeUndo + 1) << "observers hear every change of the stacks";
    EXPECT_EQ(doc.text(), "c");
    // The step registered while undoing went to the redo stack under the name set meanwhile,
    // and did not come back onto the undo stack.
    EXPECT_EQ(undo.redoActionName(), "Delete Zone");
    EXPECT_EQ(undo.undoActionName(), "Split Zone");
    ASSERT_TRUE(undo.undo());
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(doc.text(), "a");
    EXPECT_EQ(undo.undoActionName(), "");

    // Redo takes the newest undone step and keeps the others, even as it registers its own undo.
    ASSERT_TRUE(undo.redo());
    EXPECT_EQ(doc.text(), "b");
    EXPECT_EQ(undo.undoActionName(), "Add Zone");
    EXPECT_EQ(undo.redoActionName(), "Split Zone");
    ASSERT_TRUE(undo.redo());
    EXPECT_EQ(doc.text(), "c");

    // A new step empties the redo stack; the way back is intact.
    doc.apply("x", "Clear Zones", &undo);
    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(undo.undoActionName(), "Clear Zones");
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(doc.text(), "c");
    while (undo.undo()) {
    }
    EXPECT_EQ(doc.text(), "a");
}

TEST(UndoManagerTest, ActionsRegisteredDuringOneUndoFormOneRedoStep) {
    UndoManager undo;
    UndoTarget target;
    std::vector<std::string> ran;
    undo.registerUndo(target, [&] {
        ran.push_back("undo");
        EXPECT_TRUE(undo.isUndoing());
        // Nested undo or redo while a step runs is refused.
        EXPECT_FALSE(undo.undo());
        EXPECT_FALSE(undo.redo());
        undo.registerUndo(target, [&] { ran.push_back("redo first"); });
        undo.registerUndo(target, [&] { ran.push_back("redo second"); });
        undo.setActionName("Shortcut");
    });
    undo.setActionName("Shortcut");

    ASSERT_TRUE(undo.undo());
    EXPECT_FALSE(undo.isUndoing());
    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(undo.redoActionName(), "Shortcut");
    ASSERT_TRUE(undo.redo());
    // Newest first, as the actions of one step are undone in reverse.
    EXPECT_EQ(ran, (std::vector<std::string>{"undo", "redo second", "redo first"}));
    EXPECT_FALSE(undo.canRedo());
    // The redo registered nothing, so there is nothing left to undo either.
    EXPECT_FALSE(undo.canUndo());

    // A step nobody named has no name; a name set with no step anywhere names nothing.
    UndoManager unnamed;
    unnamed.setActionName("Orphan");
    unnamed.registerUndo(target, [] {});
    EXPECT_EQ(unnamed.undoActionName(), "");
}

TEST(UndoManagerTest, RemovingATargetsStepsLeavesTheOthers) {
    UndoManager undo;
    Document state("s0");
    Document settings("p0");
    state.apply("s1", "Edit Zone", &undo);
    settings.apply("p1", "Window Gap", &undo);
    state.apply("s2", "Add Zone", &undo);
    settings.apply("p2", "Card Size", &undo);
    ASSERT_TRUE(undo.undo());               // settings back to p1, a redo step for settings
    state.apply("s3", "Split Zone", &undo); // empties the redo stack
    ASSERT_TRUE(undo.undo());               // state back to s2, a redo step for state
    ASSERT_TRUE(undo.canRedo());

    undo.removeAllActions(state.target());

    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(undo.undoActionName(), "Window Gap");
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(settings.text(), "p0");
    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(state.text(), "s2");

    undo.removeAllActions();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
}

TEST(UndoManagerTest, StepsOfADestroyedTargetNeverRun) {
    UndoManager undo;
    Document kept("k0");
    kept.apply("k1", "Kept", &undo);
    auto gone = std::make_unique<Document>("g0");
    gone->apply("g1", "Gone", &undo);
    gone->apply("g2", "Gone again", &undo);
    EXPECT_EQ(undo.undoActionName(), "Gone again");

    gone.reset();

    // The dead steps are passed over: the newest live one is the one offered and undone.
    EXPECT_EQ(undo.undoActionName(), "Kept");
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(kept.text(), "k0");
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.undo());
}
