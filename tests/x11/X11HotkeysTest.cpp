// Global shortcuts as key grabs on a private X server, pressed through XTest like a real
// keyboard, with a second client that holds grabs of its own.

#include "XServerFixture.h"

#include "core/model/Records.h"
#include "platform/linux/MacKeyCodes.h"
#include "platform/sim/SimLog.h"
#include "platform/x11/X11Hotkeys.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <atomic>
#include <bit>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

using namespace tessera;
using tessera::x11test::XServer;

namespace {

constexpr std::uint32_t leftArrow = 123;
constexpr std::uint32_t controlOption = carbon::controlKey | carbon::optionKey;
constexpr std::uint16_t controlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;

// The keyboard as the server has it now, read independently of the code under test.
struct KeyboardMap {
    explicit KeyboardMap(xcb_connection_t* connection)
        : symbols(xcb_key_symbols_alloc(connection), xcb_key_symbols_free) {}

    std::optional<std::uint8_t> keycode(std::uint32_t keysym) const {
        std::unique_ptr<xcb_keycode_t, decltype(&std::free)> codes(
            xcb_key_symbols_get_keycode(symbols.get(), keysym), &std::free);
        if (!codes || *codes == XCB_NO_SYMBOL) {
            return std::nullopt;
        }
        return *codes;
    }
    // A keycode the map leaves empty.
    std::optional<std::uint8_t> unusedKeycode() const {
        for (int code = 255; code >= 8; --code) {
            bool empty = true;
            for (int column = 0; column < 4 && empty; ++column) {
                empty = xcb_key_symbols_get_keysym(symbols.get(), static_cast<std::uint8_t>(code),
                                                   column) == XCB_NO_SYMBOL;
            }
            if (empty) {
                return static_cast<std::uint8_t>(code);
            }
        }
        return std::nullopt;
    }

    std::unique_ptr<xcb_key_symbols_t, void (*)(xcb_key_symbols_t*)> symbols;
};

// Another X client that grabs keys on the root window for itself.
class OtherClient {
public:
    explicit OtherClient(const std::string& display) : xcb_(xcb_connect(display.c_str(), nullptr)) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(xcb_)).data->root;
    }
    ~OtherClient() { xcb_disconnect(xcb_); }
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    bool connected() const { return xcb_connection_has_error(xcb_) == 0; }

    // The error code of the grab, 0 when it was granted.
    int grab(std::uint8_t keycode, std::uint16_t modifiers) {
        std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
            xcb_request_check(xcb_, xcb_grab_key_checked(xcb_, 1, root_, modifiers, keycode,
                                                         XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)),
            &std::free);
        return error ? error->error_code : 0;
    }
    void ungrab(std::uint8_t keycode, std::uint16_t modifiers) {
        std::free(xcb_request_check(xcb_, xcb_ungrab_key_checked(xcb_, keycode, root_, modifiers)));
    }
    // Key presses delivered to this client so far.
    int keyPresses() {
        while (auto* event = xcb_poll_for_event(xcb_)) {
            if ((event->response_type & 0x7f) == XCB_KEY_PRESS) {
                ++presses_;
            }
            std::free(event);
        }
        return presses_;
    }

private:
    xcb_connection_t* xcb_;
    XWindow root_ = 0;
    int presses_ = 0;
};

// Writes the keyboard map and the modifier map back exactly as they are, as a desktop does
// whenever it applies its keyboard settings: nothing changes, yet every client hears of a new
// map twice. When it returns the server has sent those notices.
void rewriteKeyboardMaps(xcb_connection_t* xcb) {
    const auto* setup = xcb_get_setup(xcb);
    const auto first = setup->min_keycode;
    const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> keys(
        xcb_get_keyboard_mapping_reply(xcb, xcb_get_keyboard_mapping(xcb, first, count), nullptr),
        &std::free);
    std::unique_ptr<xcb_get_modifier_mapping_reply_t, decltype(&std::free)> modifiers(
        xcb_get_modifier_mapping_reply(xcb, xcb_get_modifier_mapping(xcb), nullptr), &std::free);
    if (!keys || !modifiers) {
        throw std::runtime_error("cannot read the keyboard maps");
    }
    std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
        xcb_request_check(
            xcb, xcb_change_keyboard_mapping_checked(xcb, count, first, keys->keysyms_per_keycode,
                                                     xcb_get_keyboard_mapping_keysyms(keys.get()))),
        &std::free);
    std::unique_ptr<xcb_set_modifier_mapping_reply_t, decltype(&std::free)> set(
        xcb_set_modifier_mapping_reply(
            xcb,
            xcb_set_modifier_mapping(xcb, modifiers->keycodes_per_modifier,
                                     xcb_get_modifier_mapping_keycodes(modifiers.get())),
            nullptr),
        &std::free);
    if (error || !set || set->status != XCB_MAPPING_STATUS_SUCCESS) {
        throw std::runtime_error("cannot write the keyboard maps back");
    }
}

// Hands the connection's events to its handlers on a thread of its own, the way tesseractl's
// main loop does, while the test acts as the user on its own connection. Nothing else may use
// the connection until this ends.
class EventThread {
public:
    explicit EventThread(X11Connection& connection) : connection_(connection) {
        if (::pipe(wake_) != 0) {
            throw std::runtime_error("pipe failed");
        }
        thread_ = std::thread([this] { run(); });
    }
    ~EventThread() {
        const char stop = 0;
        (void)!::write(wake_[1], &stop, 1);
        thread_.join();
        ::close(wake_[0]);
        ::close(wake_[1]);
    }
    EventThread(const EventThread&) = delete;
    EventThread& operator=(const EventThread&) = delete;

private:
    void run() {
        while (true) {
            connection_.dispatchPending();
            pollfd descriptors[2] = {{connection_.fileDescriptor(), POLLIN, 0},
                                     {wake_[0], POLLIN, 0}};
            ::poll(descriptors, 2, -1);
            if (descriptors[1].revents != 0) {
                return;
            }
        }
    }

    X11Connection& connection_;
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

class X11HotkeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        connection = X11Connection::open(server.display(), error);
        ASSERT_TRUE(connection) << error;
        hotkeys = std::make_unique<X11Hotkeys>(*connection, log);
        handler = hotkeys->installHandler([this](HotkeyID id) { pressed.push_back(id.id); });
        const auto left = KeyboardMap(server.connection()).keycode(XK_Left);
        ASSERT_TRUE(left);
        leftKeycode = *left;
        numLock = numLockModifier();
        ASSERT_NE(numLock, 0) << "the test server has Num Lock on a modifier";
    }

    // The modifier bit Num Lock sets, from the server's modifier map.
    std::uint16_t numLockModifier() {
        const auto numLockCode = KeyboardMap(server.connection()).keycode(XK_Num_Lock);
        xcb_connection_t* xcb = server.connection();
        std::unique_ptr<xcb_get_modifier_mapping_reply_t, decltype(&std::free)> mapping(
            xcb_get_modifier_mapping_reply(xcb, xcb_get_modifier_mapping(xcb), nullptr),
            &std::free);
        if (!mapping || !numLockCode) {
            return 0;
        }
        const auto* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int index = 0; index < mapping->keycodes_per_modifier; ++index) {
                if (codes[modifier * mapping->keycodes_per_modifier + index] == *numLockCode) {
                    return static_cast<std::uint16_t>(1u << modifier);
                }
            }
        }
        return 0;
    }

    HotkeyRegistration registerLeft(std::uint32_t id, std::uint32_t modifiers = controlOption) {
        return hotkeys->registerHotkey(leftArrow, modifiers, HotkeyID{hotkeySignature, id});
    }

    // Presses the chord and waits until the handlers have heard of it.
    void pressAndWait(const std::vector<std::string>& modifiers, std::size_t expectedCount) {
        server.chord(modifiers, "Left");
        ASSERT_TRUE(server.waitUntil([&] {
            connection->dispatchPending();
            return pressed.size() >= expectedCount;
        })) << "the handler heard "
            << pressed.size() << " presses";
    }

    void toggle(const char* lockKey) {
        server.key(lockKey, true);
        server.key(lockKey, false);
    }

    XServer server;
    SimLog log;
    std::unique_ptr<X11Connection> connection;
    std::unique_ptr<X11Hotkeys> hotkeys;
    tessera::Connection handler;
    std::vector<std::uint32_t> pressed;
    std::uint8_t leftKeycode = 0;
    std::uint16_t numLock = 0;
};

TEST(MacKeyCodes, EveryCodeTravelsToAKeysymAndBack) {
    int mapped = 0;
    for (std::uint32_t code = 0; code < 128; ++code) {
        if (const auto keysym = keysymForMacKeyCode(code)) {
            ++mapped;
            EXPECT_EQ(macKeyCodeForKeysym(*keysym), code) << "code " << code;
        }
    }
    EXPECT_GT(mapped, 100);
    EXPECT_EQ(macKeyCodeForKeysym(XK_Escape), 53);
    EXPECT_EQ(macKeyCodeForKeysym(XK_A), 0);
    EXPECT_EQ(macKeyCodeForKeysym(XK_a), 0);
    EXPECT_EQ(macKeyCodeForKeysym(XK_Z), 6);
    EXPECT_EQ(macKeyCodeForKeysym(XK_ISO_Left_Tab), 48) << "Shift+Tab is still the Tab key";
    EXPECT_EQ(macKeyCodeForKeysym(XK_KP_Home), 0x59) << "keypad 7 with Num Lock off";
    EXPECT_EQ(keysymForMacKeyCode(0x7A), XK_F1);
    EXPECT_EQ(keysymForMacKeyCode(0x5A), XK_F20);
    EXPECT_EQ(keysymForMacKeyCode(0x33), XK_BackSpace);
    EXPECT_EQ(keysymForMacKeyCode(0x75), XK_Delete);
    EXPECT_EQ(keysymForMacKeyCode(0x34), std::nullopt);
    EXPECT_EQ(macKeyCodeForKeysym(XK_exclam), std::nullopt);
}

TEST_F(X11HotkeysTest, APressReachesEveryHandlerWhateverTheLockKeys) {
    const auto plain = registerLeft(7);
    ASSERT_EQ(plain.status, HotkeyStatus::ok);
    ASSERT_TRUE(plain.ref);
    ASSERT_TRUE(registerLeft(8, controlOption | carbon::shiftKey).registered());
    std::vector<std::uint32_t> second;
    auto secondHandler = hotkeys->installHandler([&](HotkeyID id) {
        EXPECT_EQ(id.signature, hotkeySignature);
        second.push_back(id.id);
    });

    pressAndWait({"Control_L", "Alt_L"}, 1);
    EXPECT_EQ(pressed, std::vector<std::uint32_t>{7});
    EXPECT_EQ(second, std::vector<std::uint32_t>{7});

    toggle("Num_Lock");
    pressAndWait({"Control_L", "Alt_L"}, 2);
    toggle("Caps_Lock");
    pressAndWait({"Control_L", "Alt_L"}, 3);
    pressAndWait({"Control_L", "Alt_L", "Shift_L"}, 4);
    EXPECT_EQ(pressed, (std::vector<std::uint32_t>{7, 7, 7, 8}));
    EXPECT_EQ(second, pressed);

    secondHandler.disconnect();
    pressAndWait({"Control_L", "Alt_L"}, 5);
    EXPECT_EQ(second.size(), 4u) << "an ended handler hears nothing more";
}

TEST_F(X11HotkeysTest, OurOwnCombinationTwiceIsTakenAndUnregisteringFreesIt) {
    const auto first = registerLeft(1);
    ASSERT_TRUE(first.registered());
    const auto again = registerLeft(2);
    EXPECT_EQ(again.status, HotkeyStatus::alreadyTaken);
    EXPECT_FALSE(again.ref);
    EXPECT_EQ(registerLeft(3, controlOption | 0x400).status, HotkeyStatus::alreadyTaken)
        << "Caps Lock is no part of a combination";
    ASSERT_TRUE(registerLeft(4, carbon::controlKey).registered()) << "other modifiers are free";

    OtherClient other(server.display());
    ASSERT_TRUE(other.connected());
    EXPECT_EQ(other.grab(leftKeycode, controlAlt), XCB_ACCESS);

    hotkeys->unregisterHotkey(*first.ref);
    // Requests of two clients are ordered only by a round trip.
    connection->sync();
    for (const std::uint16_t locks : {std::uint16_t(0), std::uint16_t(XCB_MOD_MASK_LOCK), numLock,
                                      std::uint16_t(numLock | XCB_MOD_MASK_LOCK)}) {
        EXPECT_EQ(other.grab(leftKeycode, controlAlt | locks), 0)
            << "variant " << locks << " is still held after unregistering";
        other.ungrab(leftKeycode, controlAlt | locks);
    }
    EXPECT_TRUE(registerLeft(5).registered());
    pressAndWait({"Control_L", "Alt_L"}, 1);
    EXPECT_EQ(pressed, std::vector<std::uint32_t>{5});
}

TEST_F(X11HotkeysTest, ACombinationAnotherClientHoldsIsTakenAndLeavesNoPartialGrab) {
    OtherClient other(server.display());
    ASSERT_TRUE(other.connected());
    // Only the Num Lock variant: the plain and Caps Lock variants would be granted to us first.
    ASSERT_EQ(other.grab(leftKeycode, controlAlt | numLock), 0);

    const auto refused = registerLeft(1);
    EXPECT_EQ(refused.status, HotkeyStatus::alreadyTaken);
    EXPECT_FALSE(refused.ref);
    for (const std::uint16_t locks : {std::uint16_t(0), std::uint16_t(XCB_MOD_MASK_LOCK)}) {
        EXPECT_EQ(other.grab(leftKeycode, controlAlt | locks), 0)
            << "variant " << locks << " was left grabbed by the refused registration";
        other.ungrab(leftKeycode, controlAlt | locks);
    }

    toggle("Num_Lock");
    server.chord({"Control_L", "Alt_L"}, "Left");
    EXPECT_TRUE(server.waitUntil([&] { return other.keyPresses() == 1; }))
        << "the other client's grab still works";

    other.ungrab(leftKeycode, controlAlt | numLock);
    ASSERT_TRUE(registerLeft(2).registered());
    pressAndWait({"Control_L", "Alt_L"}, 1);
    EXPECT_EQ(pressed, std::vector<std::uint32_t>{2});
}

TEST_F(X11HotkeysTest, KeysWithoutAKeycodeAreInvalid) {
    EXPECT_EQ(hotkeys->registerHotkey(0x34, controlOption, {}).status, HotkeyStatus::invalid)
        << "no key has that code";
    const KeyboardMap map(server.connection());
    std::optional<std::uint32_t> missing;
    for (std::uint32_t code = 0; code < 128 && !missing; ++code) {
        if (const auto keysym = keysymForMacKeyCode(code); keysym && !map.keycode(*keysym)) {
            missing = code;
        }
    }
    ASSERT_TRUE(missing) << "every key of the table is on the test keyboard";
    const auto result = hotkeys->registerHotkey(*missing, controlOption, {});
    EXPECT_EQ(result.status, HotkeyStatus::invalid) << "key code " << *missing;
    EXPECT_FALSE(result.ref);
}

TEST_F(X11HotkeysTest, TheGrabFollowsTheKeyToItsNewKeycode) {
    ASSERT_TRUE(registerLeft(9).registered());
    const auto unused = KeyboardMap(server.connection()).unusedKeycode();
    ASSERT_TRUE(unused);
    ASSERT_EQ(server.run({"xmodmap", "-e", "keycode " + std::to_string(leftKeycode) + " =", "-e",
                          "keycode " + std::to_string(*unused) + " = Left"}),
              0);
    // xmodmap has finished, so the server has sent its notice before answering this.
    connection->sync();
    connection->dispatchPending();

    pressAndWait({"Control_L", "Alt_L"}, 1);
    EXPECT_EQ(pressed, std::vector<std::uint32_t>{9});
    OtherClient other(server.display());
    EXPECT_EQ(other.grab(leftKeycode, controlAlt), 0) << "the old keycode is released";
    EXPECT_EQ(other.grab(*unused, controlAlt), XCB_ACCESS);
}

TEST_F(X11HotkeysTest, APressRightAfterTheSameMapIsWrittenBackIsNotLost) {
    // Many shortcuts, as a user with a zone shortcut on every key has; the one pressed is
    // registered last.
    std::uint32_t id = 100;
    for (auto keysym = XK_a; keysym <= XK_z; ++keysym) {
        ASSERT_TRUE(hotkeys
                        ->registerHotkey(*macKeyCodeForKeysym(keysym), controlOption,
                                         HotkeyID{hotkeySignature, id++})
                        .registered());
    }
    for (auto keysym = XK_F1; keysym <= XK_F12; ++keysym) {
        ASSERT_TRUE(hotkeys
                        ->registerHotkey(*macKeyCodeForKeysym(keysym), controlOption,
                                         HotkeyID{hotkeySignature, id++})
                        .registered());
    }
    ASSERT_TRUE(registerLeft(9).registered());
    std::atomic<int> heard{0};
    const auto counting = hotkeys->installHandler([&heard](HotkeyID pressedID) {
        if (pressedID.id == 9) {
            ++heard;
        }
    });

    const EventThread events(*connection);
    for (int round = 1; round <= 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // The notices are on their way once the server has answered; the keys go down at once,
        // while the handlers may still be busy with them.
        rewriteKeyboardMaps(server.connection());
        server.chord({"Control_L", "Alt_L"}, "Left");
        ASSERT_TRUE(server.waitUntil([&] { return heard.load() >= round; }))
            << "the press went elsewhere";
        EXPECT_EQ(heard.load(), round);
    }
}

TEST_F(X11HotkeysTest, TheLockVariantsFollowNumLockToAnotherModifier) {
    ASSERT_TRUE(registerLeft(9).registered());
    // A modifier the server leaves empty.
    std::uint16_t moved = 0;
    int movedIndex = 0;
    {
        xcb_connection_t* xcb = server.connection();
        std::unique_ptr<xcb_get_modifier_mapping_reply_t, decltype(&std::free)> mapping(
            xcb_get_modifier_mapping_reply(xcb, xcb_get_modifier_mapping(xcb), nullptr),
            &std::free);
        ASSERT_TRUE(mapping);
        const auto* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
        for (int modifier = 3; modifier < 8 && moved == 0; ++modifier) {
            bool empty = true;
            for (int index = 0; index < mapping->keycodes_per_modifier; ++index) {
                empty = empty && codes[modifier * mapping->keycodes_per_modifier + index] == 0;
            }
            if (empty) {
                moved = static_cast<std::uint16_t>(1u << modifier);
                movedIndex = modifier - 2;
            }
        }
    }
    ASSERT_NE(moved, 0) << "the test server has no free modifier";
    ASSERT_NE(moved, numLock);
    const auto oldModifier = "mod" + std::to_string(std::countr_zero(numLock) - 2);
    const auto newModifier = "mod" + std::to_string(movedIndex);
    ASSERT_EQ(server.run({"xmodmap", "-e", "remove " + oldModifier + " = Num_Lock", "-e",
                          "add " + newModifier + " = Num_Lock"}),
              0);
    connection->sync();
    connection->dispatchPending();

    toggle("Num_Lock");
    pressAndWait({"Control_L", "Alt_L"}, 1);
    EXPECT_EQ(pressed, std::vector<std::uint32_t>{9});

    OtherClient other(server.display());
    ASSERT_TRUE(other.connected());
    EXPECT_EQ(other.grab(leftKeycode, controlAlt | numLock), 0)
        << "the variant of the modifier Num Lock left is released";
    for (const std::uint16_t locks : {std::uint16_t(0), std::uint16_t(XCB_MOD_MASK_LOCK), moved,
                                      std::uint16_t(moved | XCB_MOD_MASK_LOCK)}) {
        EXPECT_EQ(other.grab(leftKeycode, controlAlt | locks), XCB_ACCESS)
            << "variant " << locks << " is not held";
    }
}

} // namespace
