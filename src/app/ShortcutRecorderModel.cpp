#include "ShortcutRecorderModel.h"

#include "core/hotkeys/ShortcutRecorder.h"
#include "platform/linux/MacKeyCodes.h"

#include <QQmlEngine>

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include <array>
#include <utility>

namespace tessera::shell {

namespace {

struct KeysymPair {
    std::uint32_t from;
    std::uint32_t to;
};

// What the shifted keys of the US layout produce, and the keysym of the same key unshifted.
// X reports the keysym with Shift applied (Shift+1 is "exclam"), while a shortcut names the key.
// clang-format off
constexpr std::array<KeysymPair, 21> shiftedSymbols{{
    {XK_exclam, XK_1}, {XK_at, XK_2}, {XK_numbersign, XK_3}, {XK_dollar, XK_4},
    {XK_percent, XK_5}, {XK_asciicircum, XK_6}, {XK_ampersand, XK_7}, {XK_asterisk, XK_8},
    {XK_parenleft, XK_9}, {XK_parenright, XK_0}, {XK_underscore, XK_minus}, {XK_plus, XK_equal},
    {XK_braceleft, XK_bracketleft}, {XK_braceright, XK_bracketright}, {XK_bar, XK_backslash},
    {XK_colon, XK_semicolon}, {XK_quotedbl, XK_apostrophe}, {XK_less, XK_comma},
    {XK_greater, XK_period}, {XK_question, XK_slash}, {XK_asciitilde, XK_grave},
}};

// Qt's keys beyond Latin-1 and the keysyms of the same keys.
constexpr std::array<KeysymPair, 31> qtSpecialKeys{{
    {Qt::Key_Escape, XK_Escape}, {Qt::Key_Tab, XK_Tab}, {Qt::Key_Backtab, XK_ISO_Left_Tab},
    {Qt::Key_Backspace, XK_BackSpace}, {Qt::Key_Return, XK_Return}, {Qt::Key_Enter, XK_KP_Enter},
    {Qt::Key_Delete, XK_Delete}, {Qt::Key_Home, XK_Home}, {Qt::Key_End, XK_End},
    {Qt::Key_PageUp, XK_Prior}, {Qt::Key_PageDown, XK_Next},
    {Qt::Key_Left, XK_Left}, {Qt::Key_Up, XK_Up}, {Qt::Key_Right, XK_Right},
    {Qt::Key_Down, XK_Down},
    {Qt::Key_Shift, XK_Shift_L}, {Qt::Key_Control, XK_Control_L}, {Qt::Key_Meta, XK_Super_L},
    {Qt::Key_Alt, XK_Alt_L}, {Qt::Key_CapsLock, XK_Caps_Lock}, {Qt::Key_Super_L, XK_Super_L},
    {Qt::Key_Super_R, XK_Super_R}, {Qt::Key_Menu, XK_Menu}, {Qt::Key_Help, XK_Help},
    {Qt::Key_Clear, XK_Clear}, {Qt::Key_VolumeUp, XF86XK_AudioRaiseVolume},
    {Qt::Key_VolumeDown, XF86XK_AudioLowerVolume}, {Qt::Key_VolumeMute, XF86XK_AudioMute},
    {Qt::Key_Eisu_toggle, XK_Eisu_toggle}, {Qt::Key_Kana_Lock, XK_Kana_Lock},
    {Qt::Key_Insert, XK_Insert},
}};

// Keys of the numeric keypad as Qt reports them (the main keyboard's key plus the keypad
// modifier) and their keysyms, so that a keypad shortcut stays apart from the main one.
constexpr std::array<KeysymPair, 17> qtKeypadKeys{{
    {Qt::Key_0, XK_KP_0}, {Qt::Key_1, XK_KP_1}, {Qt::Key_2, XK_KP_2}, {Qt::Key_3, XK_KP_3},
    {Qt::Key_4, XK_KP_4}, {Qt::Key_5, XK_KP_5}, {Qt::Key_6, XK_KP_6}, {Qt::Key_7, XK_KP_7},
    {Qt::Key_8, XK_KP_8}, {Qt::Key_9, XK_KP_9}, {Qt::Key_Period, XK_KP_Decimal},
    {Qt::Key_Asterisk, XK_KP_Multiply}, {Qt::Key_Plus, XK_KP_Add},
    {Qt::Key_Minus, XK_KP_Subtract}, {Qt::Key_Slash, XK_KP_Divide},
    {Qt::Key_Equal, XK_KP_Equal}, {Qt::Key_Enter, XK_KP_Enter},
}};
// clang-format on

template <std::size_t N>
std::optional<std::uint32_t> lookUp(const std::array<KeysymPair, N>& table, std::uint32_t from) {
    for (const auto& pair : table) {
        if (pair.from == from) {
            return pair.to;
        }
    }
    return std::nullopt;
}

std::optional<std::uint16_t> macKeyCodeOfKeysym(std::uint32_t keysym) {
    if (const auto code = macKeyCodeForKeysym(keysym)) {
        return code;
    }
    if (const auto unshifted = lookUp(shiftedSymbols, keysym)) {
        return macKeyCodeForKeysym(*unshifted);
    }
    return std::nullopt;
}

std::optional<std::uint32_t> keysymOfQtKey(int qtKey, int qtModifiers) {
    const auto key = static_cast<std::uint32_t>(qtKey);
    if ((qtModifiers & Qt::KeypadModifier) != 0) {
        if (const auto keypad = lookUp(qtKeypadKeys, key)) {
            return keypad;
        }
    }
    constexpr auto f1 = static_cast<std::uint32_t>(Qt::Key_F1);
    if (key >= f1 && key <= static_cast<std::uint32_t>(Qt::Key_F35)) {
        return XK_F1 + (key - f1);
    }
    // Below 0x100 Qt's keys are the Latin-1 characters, which is what X's keysyms are there
    // too (Qt gives letters in upper case; the key code table accepts either case).
    if (key >= static_cast<std::uint32_t>(Qt::Key_Space) &&
        key <= static_cast<std::uint32_t>(Qt::Key_ydiaeresis)) {
        return key;
    }
    return lookUp(qtSpecialKeys, key);
}

// Alt is Option and Super (Qt's Meta on Linux) is Command, as the hotkeys map them.
std::uint64_t flagsOfQtModifiers(int qtModifiers) {
    std::uint64_t flags = 0;
    if ((qtModifiers & Qt::ShiftModifier) != 0) {
        flags |= eventFlags::shift;
    }
    if ((qtModifiers & Qt::ControlModifier) != 0) {
        flags |= eventFlags::control;
    }
    if ((qtModifiers & Qt::AltModifier) != 0) {
        flags |= eventFlags::option;
    }
    if ((qtModifiers & Qt::MetaModifier) != 0) {
        flags |= eventFlags::command;
    }
    return flags;
}

} // namespace

std::optional<MonitorEvent> keyDownFromQt(int qtKey, quint32 nativeVirtualKey, int qtModifiers) {
    std::optional<std::uint16_t> keyCode;
    if (nativeVirtualKey != 0) {
        keyCode = macKeyCodeOfKeysym(nativeVirtualKey);
    }
    if (!keyCode) {
        if (const auto keysym = keysymOfQtKey(qtKey, qtModifiers)) {
            keyCode = macKeyCodeOfKeysym(*keysym);
        }
    }
    if (!keyCode) {
        return std::nullopt;
    }
    MonitorEvent event;
    event.type = InputEventType::keyDown;
    event.modifierFlags = flagsOfQtModifiers(qtModifiers);
    event.keyCode = *keyCode;
    return event;
}

ShortcutRecorderModel::ShortcutRecorderModel(ShortcutRecorder& recorder, LocalEventDelivery deliver,
                                             QObject* parent)
    : QObject(parent), recorder_(recorder), deliver_(std::move(deliver)),
      recorderChanged_(recorder_.onChange([this] { Q_EMIT changed(); })) {
    keepOwnership();
}

ShortcutRecorderModel::ShortcutRecorderModel(std::unique_ptr<ShortcutRecorder> recorder,
                                             LocalEventDelivery deliver, QObject* parent)
    : QObject(parent), owned_(std::move(recorder)), recorder_(*owned_),
      deliver_(std::move(deliver)),
      recorderChanged_(recorder_.onChange([this] { Q_EMIT changed(); })) {
    keepOwnership();
}

ShortcutRecorderModel::~ShortcutRecorderModel() = default;

void ShortcutRecorderModel::keepOwnership() {
    // Handed to QML from invokables, a parentless object would become the garbage collector's
    // to delete, while its owner on the C++ side still holds it.
    QQmlEngine::setObjectOwnership(this, QQmlEngine::CppOwnership);
}

bool ShortcutRecorderModel::listening() const {
    return recorder_.isListening();
}

QString ShortcutRecorderModel::label() const {
    return QString::fromStdString(recorder_.state().linuxLabel);
}

bool ShortcutRecorderModel::labelIsCombo() const {
    return recorder_.state().labelIsCombo;
}

QString ShortcutRecorderModel::help() const {
    return QString::fromStdString(recorder_.state().help);
}

bool ShortcutRecorderModel::showsRemoveButton() const {
    return recorder_.state().showsRemoveButton;
}

QString ShortcutRecorderModel::removeHelp() const {
    return QString::fromStdString(recorder_.state().removeHelp);
}

void ShortcutRecorderModel::click() {
    recorder_.click();
}

void ShortcutRecorderModel::removeShortcut() {
    recorder_.removeShortcut();
}

void ShortcutRecorderModel::stopListening() {
    recorder_.stopListening();
}

bool ShortcutRecorderModel::keyPressed(int qtKey, int nativeVirtualKey, int qtModifiers) {
    const auto event = keyDownFromQt(qtKey, static_cast<quint32>(nativeVirtualKey), qtModifiers);
    if (!event || !deliver_) {
        return false;
    }
    return deliver_(*event);
}

} // namespace tessera::shell
