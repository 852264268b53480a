#include "widgets/KeyCodes.h"

#include <QGuiApplication>
#include <QKeyEvent>

namespace KeyCodes {

namespace {

// Physical keys by set-1 scan code, which evdev shares for these keys.
int fromSet1(int sc)
{
    // Number row, 0x02..0x0E: 1 2 3 4 5 6 7 8 9 0 - = Backspace
    static const int numberRow[] = {0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37,
                                    0x38, 0x39, 0x30, 0xBD, 0xBB, 8};
    // 0x0F..0x1C: Tab Q W E R T Y U I O P [ ] Enter
    static const int topRow[] = {9, 0x51, 0x57, 0x45, 0x52, 0x54, 0x59,
                                 0x55, 0x49, 0x4F, 0x50, 0xDB, 0xDD, 13};
    // 0x1E..0x2B: A S D F G H J K L ; ' ` (LeftShift) backslash
    static const int homeRow[] = {0x41, 0x53, 0x44, 0x46, 0x47, 0x48, 0x4A,
                                  0x4B, 0x4C, 0xBA, 0xDE, 0xC0, 0, 0xDC};
    // 0x2C..0x35: Z X C V B N M , . /
    static const int bottomRow[] = {0x5A, 0x58, 0x43, 0x56, 0x42, 0x4E, 0x4D, 0xBC, 0xBE, 0xBF};
    // Keypad 0x47..0x53: 7 8 9 - 4 5 6 + 1 2 3 0 .
    static const int keypad[] = {0x67, 0x68, 0x69, 0, 0x64, 0x65, 0x66, 0, 0x61, 0x62, 0x63, 0x60, 0};

    if (sc == 0x01)
        return 27;
    if (sc >= 0x02 && sc <= 0x0E)
        return numberRow[sc - 0x02];
    if (sc >= 0x0F && sc <= 0x1C)
        return topRow[sc - 0x0F];
    if (sc >= 0x1E && sc <= 0x2B)
        return homeRow[sc - 0x1E];
    if (sc >= 0x2C && sc <= 0x35)
        return bottomRow[sc - 0x2C];
    if (sc == 0x39)
        return 32;
    if (sc >= 0x3B && sc <= 0x44)
        return 0x70 + (sc - 0x3B);  // F1..F10
    if (sc == 0x57 || sc == 0x58)
        return 0x7A + (sc - 0x57);  // F11, F12
    if (sc >= 0x47 && sc <= 0x53)
        return keypad[sc - 0x47];
    return 0;
}

}  // namespace

ScanCodes platformScanCodes()
{
    const QString name = QGuiApplication::platformName();
    if (name == QLatin1String("xcb") || name.startsWith(QLatin1String("wayland")))
        return ScanCodes::Evdev;
    if (name == QLatin1String("windows"))
        return ScanCodes::Set1;
    return ScanCodes::None;
}

int fromScanCode(quint32 nativeScanCode, ScanCodes kind)
{
    switch (kind) {
    case ScanCodes::Evdev:
        if (nativeScanCode <= 8 || nativeScanCode > 8 + 0xFF)
            return 0;
        return fromSet1(int(nativeScanCode - 8));
    case ScanCodes::Set1:
        // Extended keys (arrows, the keypad's Enter and slash, ...) share
        // their low byte with keypad digits; they are not ours.
        if (nativeScanCode == 0 || nativeScanCode > 0xFF)
            return 0;
        return fromSet1(int(nativeScanCode));
    case ScanCodes::None:
        break;
    }
    return 0;
}

int fromQtKey(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
        const int digit = qtKey - Qt::Key_0;
        return (modifiers & Qt::KeypadModifier) ? 0x60 + digit : 0x30 + digit;
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 0x41 + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return 0x70 + (qtKey - Qt::Key_F1);
    if (modifiers & Qt::KeypadModifier) {
        // Keypad with Num Lock off: the digit keys by their second meaning.
        switch (qtKey) {
        case Qt::Key_Insert: return 0x60;
        case Qt::Key_End: return 0x61;
        case Qt::Key_Down: return 0x62;
        case Qt::Key_PageDown: return 0x63;
        case Qt::Key_Left: return 0x64;
        case Qt::Key_Clear: return 0x65;
        case Qt::Key_Right: return 0x66;
        case Qt::Key_Home: return 0x67;
        case Qt::Key_Up: return 0x68;
        case Qt::Key_PageUp: return 0x69;
        default: break;
        }
    }
    switch (qtKey) {
    case Qt::Key_Space: return 32;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: case Qt::Key_Backtab: return 9;
    case Qt::Key_Return: case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    // Shifted digits of a US keyboard.
    case Qt::Key_Exclam: return 0x31;
    case Qt::Key_At: return 0x32;
    case Qt::Key_NumberSign: return 0x33;
    case Qt::Key_Dollar: return 0x34;
    case Qt::Key_Percent: return 0x35;
    case Qt::Key_AsciiCircum: return 0x36;
    case Qt::Key_Ampersand: return 0x37;
    case Qt::Key_Asterisk: return 0x38;
    case Qt::Key_ParenLeft: return 0x39;
    case Qt::Key_ParenRight: return 0x30;
    // Punctuation, plain and shifted.
    case Qt::Key_Semicolon: case Qt::Key_Colon: return 0xBA;
    case Qt::Key_Equal: case Qt::Key_Plus: return 0xBB;
    case Qt::Key_Comma: case Qt::Key_Less: return 0xBC;
    case Qt::Key_Minus: case Qt::Key_Underscore: return 0xBD;
    case Qt::Key_Period: case Qt::Key_Greater: return 0xBE;
    case Qt::Key_Slash: case Qt::Key_Question: return 0xBF;
    case Qt::Key_QuoteLeft: case Qt::Key_AsciiTilde: return 0xC0;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return 0xDB;
    case Qt::Key_Backslash: case Qt::Key_Bar: return 0xDC;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: return 0xDD;
    case Qt::Key_Apostrophe: case Qt::Key_QuoteDbl: return 0xDE;
    default: break;
    }
    return 0;
}

int fromKey(int qtKey, Qt::KeyboardModifiers modifiers, quint32 nativeScanCode, ScanCodes kind)
{
    const int physical = fromScanCode(nativeScanCode, kind);
    if (physical != 0)
        return physical;
    return fromQtKey(qtKey, modifiers);
}

int fromEvent(const QKeyEvent *event)
{
    if (!event)
        return 0;
    return fromKey(event->key(), event->modifiers(), event->nativeScanCode(), platformScanCodes());
}

QString keyName(int keyCode)
{
    if ((keyCode >= 0x30 && keyCode <= 0x39) || (keyCode >= 0x41 && keyCode <= 0x5A))
        return QString(QChar(keyCode));
    if (keyCode >= 0x60 && keyCode <= 0x69)
        return QString::number(keyCode - 0x60);
    if (keyCode >= 0x70 && keyCode <= 0x7B)
        return QStringLiteral("F") + QString::number(keyCode - 0x70 + 1);
    switch (keyCode) {
    case 8: return QStringLiteral("Backspace");
    case 9: return QStringLiteral("Tab");
    case 13: return QStringLiteral("Enter");
    case 27: return QStringLiteral("Esc");
    case 32: return QStringLiteral("Space");
    case 0xBA: return QStringLiteral(";");
    case 0xBB: return QStringLiteral("=");
    case 0xBC: return QStringLiteral(",");
    case 0xBD: return QStringLiteral("-");
    case 0xBE: return QStringLiteral(".");
    case 0xBF: return QStringLiteral("/");
    case 0xC0: return QStringLiteral("`");
    case 0xDB: return QStringLiteral("[");
    case 0xDC: return QStringLiteral("\\");
    case 0xDD: return QStringLiteral("]");
    case 0xDE: return QStringLiteral("'");
    default: break;
    }
    return QString();
}

}  // namespace KeyCodes
