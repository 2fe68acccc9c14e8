#include "BluetoothLinks.h"
#include "BluetoothStack.h"

#include <algorithm>

// Winsock before windows.h, then Bluetooth's own, in this order.
// clang-format off
#include <winsock2.h>
#include <ws2bth.h>
#include <windows.h>
#include <bluetoothapis.h>
// clang-format on

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {

// Windows' own words for an error of the Bluetooth API or of Winsock.
QString errorText(DWORD error) {
    return u"%1 (error %2)"_s.arg(qt_error_string(int(error)).trimmed()).arg(error);
}

BLUETOOTH_ADDRESS addressOf(std::uint64_t address) {
    BLUETOOTH_ADDRESS result{};
    result.ullLong = address;
    return result;
}

// Winsock, started once for the process (and never stopped: the process ends first).
bool winsockReady(QString *failure) {
    static const int started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (started != 0 && failure)
        *failure = errorText(DWORD(started));
    return started == 0;
}

// An RFCOMM socket, connected.
class WinsockStream final : public StackStream {
public:
    explicit WinsockStream(SOCKET socket)
        : m_socket(socket) {}
    ~WinsockStream() override { ::closesocket(m_socket); }
    WinsockStream(const WinsockStream &) = delete;
    WinsockStream &operator=(const WinsockStream &) = delete;

    qint64 send(const char *data, qint64 size, QString *error) override {
        qint64 sent = 0;
        while (sent < size) {
            const int count = ::send(m_socket, data + sent, int(size - sent), 0);
            if (count == SOCKET_ERROR) {
                *error = errorText(DWORD(::WSAGetLastError()));
                return -1;
            }
            sent += count;
        }
        return sent;
    }

    qint64 receive(char *data, qint64 size, std::chrono::milliseconds timeout,
                   QString *error) override {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_socket, &readable);
        timeval wait{};
        wait.tv_sec = long(timeout.count() / 1000);
        wait.tv_usec = long(timeout.count() % 1000) * 1000;
        const int ready = ::select(0, &readable, nullptr, nullptr, &wait);
        if (ready == SOCKET_ERROR) {
            *error = errorText(DWORD(::WSAGetLastError()));
            return -1;
        }
        if (ready == 0)
            return 0;
        const int count = ::recv(m_socket, data, int(size), 0);
        if (count == 0) {
            *error = u"The module closed the connection."_s;
            return -1;
        }
        if (count == SOCKET_ERROR) {
            *error = errorText(DWORD(::WSAGetLastError()));
            return -1;
        }
        return count;
    }

private:
    SOCKET m_socket;
};

// The PIN, handed to Windows when it asks during one pairing.
struct PairingRequest {
    std::uint64_t address = 0;
    QByteArray pin;
    bool asked = false;
    DWORD answer = ERROR_SUCCESS; // what BluetoothSendAuthenticationResponseEx said
};

BOOL CALLBACK answerAuthentication(LPVOID context,
                                   PBLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS params) {
    auto *request = static_cast<PairingRequest *>(context);
    if (!params || params->deviceInfo.Address.ullLong != request->address)
        return FALSE;
    request->asked = true;
    BLUETOOTH_AUTHENTICATE_RESPONSE response{};
    response.bthAddressRemote = params->deviceInfo.Address;
    response.authMethod = params->authenticationMethod;
    switch (params->authenticationMethod) {
    case BLUETOOTH_AUTHENTICATION_METHOD_LEGACY:
        std::copy_n(request->pin.constData(), request->pin.size(), response.pinInfo.pin);
        response.pinInfo.pinLength = UCHAR(request->pin.size());
        break;
    case BLUETOOTH_AUTHENTICATION_METHOD_NUMERIC_COMPARISON:
        // Secure Simple Pairing's "just works": the module has no display to compare.
        response.numericCompInfo.NumericValue = params->Numeric_Value;
        break;
    default: // a passkey or out-of-band data, which a module with a PIN does not ask for
        response.negativeResponse = TRUE;
        break;
    }
    request->answer = DWORD(::BluetoothSendAuthenticationResponseEx(nullptr, &response));
    return TRUE;
}

// The Bluetooth API (bthprops) and Winsock's AF_BTH, as Microsoft documents them.
class WindowsBluetoothStack final : public BluetoothStack {
public:
    QString unavailable() const override {
        BLUETOOTH_FIND_RADIO_PARAMS params{};
        params.dwSize = sizeof params;
        HANDLE radio = nullptr;
        const HBLUETOOTH_RADIO_FIND find = ::BluetoothFindFirstRadio(&params, &radio);
        if (!find) {
            const DWORD error = ::GetLastError();
            return error == ERROR_NO_MORE_ITEMS
                       ? u"This computer has no Bluetooth radio, or it is switched off."_s
                       : u"Windows did not list its Bluetooth radios: %1"_s.arg(errorText(error));
        }
        ::CloseHandle(radio);
        ::BluetoothFindRadioClose(find);
        QString failure;
        return winsockReady(&failure) ? QString() : u"Winsock did not start: "_s + failure;
    }

    std::optional<QList<StackDevice>> devices(std::chrono::milliseconds search,
                                              QString *failure) const override {
        BLUETOOTH_DEVICE_SEARCH_PARAMS params{};
        params.dwSize = sizeof params;
        params.fReturnAuthenticated = TRUE;
        params.fReturnRemembered = TRUE;
        params.fReturnConnected = TRUE;
        params.fReturnUnknown = search.count() > 0;
        params.fIssueInquiry = search.count() > 0;
        // The inquiry's length in units of 1.28 s, 1 to 48.
        params.cTimeoutMultiplier = UCHAR(
            search.count() > 0 ? std::clamp<qint64>((search.count() + 1279) / 1280, 1, 48) : 0);
        BLUETOOTH_DEVICE_INFO info{};
        info.dwSize = sizeof info;
        QList<StackDevice> devices;
        const HBLUETOOTH_DEVICE_FIND find = ::BluetoothFindFirstDevice(&params, &info);
        if (!find) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_NO_MORE_ITEMS)
                return devices;
            *failure = errorText(error);
            return std::nullopt;
        }
        do {
            devices.append({info.Address.ullLong,
                            QString::fromWCharArray(
                                info.szName, int(wcsnlen(info.szName, std::size(info.szName)))),
                            info.fAuthenticated != FALSE});
            info = {};
            info.dwSize = sizeof info;
        } while (::BluetoothFindNextDevice(find, &info));
        const DWORD error = ::GetLastError();
        ::BluetoothFindDeviceClose(find);
        if (error != ERROR_NO_MORE_ITEMS) {
            *failure = errorText(error);
            return std::nullopt;
        }
        return devices;
    }

    bool offersSerialPort(std::uint64_t address) const override {
        // A paired device's services as Windows installed them; for any other, its service
        // records, asked for over the air (a few seconds).
        BLUETOOTH_DEVICE_INFO info{};
        info.dwSize = sizeof info;
        info.Address = addressOf(address);
        if (::BluetoothGetDeviceInfo(nullptr, &info) == ERROR_SUCCESS && info.fAuthenticated) {
            GUID services[32];
            DWORD count = DWORD(std::size(services));
            if (::BluetoothEnumerateInstalledServices(nullptr, &info, &count, services) ==
                ERROR_SUCCESS)
                return std::any_of(services,
                                   services + std::min<DWORD>(count, DWORD(std::size(services))),
                                   [](const GUID &s) { return s == SerialPortServiceClass_UUID; });
        }
        return hasServiceRecord(address);
    }

    StackPairing pair(std::uint64_t address, const QString &pin, QString *failure) const override {
        BLUETOOTH_DEVICE_INFO info{};
        info.dwSize = sizeof info;
        info.Address = addressOf(address);
        if (const DWORD error = ::BluetoothGetDeviceInfo(nullptr, &info); error != ERROR_SUCCESS) {
            *failure = errorText(error);
            return StackPairing::Failed;
        }
        // Our callback answers, so that Windows shows no pairing wizard of its own.
        PairingRequest request{address, pin.toUtf8().left(BTH_MAX_PIN_SIZE)};
        HBLUETOOTH_AUTHENTICATION_REGISTRATION registration = nullptr;
        if (const DWORD error = DWORD(::BluetoothRegisterForAuthenticationEx(
                &info, &registration, answerAuthentication, &request));
            error != ERROR_SUCCESS) {
            *failure = errorText(error);
            return StackPairing::Failed;
        }
        const DWORD result = DWORD(::BluetoothAuthenticateDeviceEx(nullptr, nullptr, &info, nullptr,
                                                                   MITMProtectionNotRequired));
        ::BluetoothUnregisterAuthentication(registration);
        if (result == ERROR_SUCCESS || result == ERROR_NO_MORE_ITEMS) // paired meanwhile
            return StackPairing::Paired;
        *failure =
            errorText(request.asked && request.answer != ERROR_SUCCESS ? request.answer : result);
        // Asked for the PIN and then turned down: the PIN was wrong.
        return request.asked ? StackPairing::Refused : StackPairing::Failed;
    }

    bool unpair(std::uint64_t address, QString *failure) const override {
        BLUETOOTH_ADDRESS bluetoothAddress = addressOf(address);
        const DWORD error = ::BluetoothRemoveDevice(&bluetoothAddress);
        if (error == ERROR_SUCCESS || error == ERROR_NOT_FOUND)
            return true;
        *failure = errorText(error);
        return false;
    }

    std::unique_ptr<StackStream> connect(std::uint64_t address, LinkOpenFailure *kind,
                                         QString *failure) const override {
        if (!winsockReady(failure)) {
            *kind = LinkOpenFailure::Other;
            return nullptr;
        }
        const SOCKET socket = ::socket(AF_BTH, SOCK_STREAM, BTHPROTO_RFCOMM);
        if (socket == INVALID_SOCKET) {
            *kind = LinkOpenFailure::Other;
            *failure = errorText(DWORD(::WSAGetLastError()));
            return nullptr;
        }
        // The Serial Port service's class, no channel: Windows looks the channel up.
        SOCKADDR_BTH peer{};
        peer.addressFamily = AF_BTH;
        peer.btAddr = address;
        peer.serviceClassId = SerialPortServiceClass_UUID;
        peer.port = 0;
        if (::connect(socket, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) ==
            SOCKET_ERROR) {
            const int error = ::WSAGetLastError();
            ::closesocket(socket);
            *kind = error == WSASERVICE_NOT_FOUND || error == WSAECONNREFUSED
                        ? LinkOpenFailure::NotSerial
                        : LinkOpenFailure::NotFound;
            *failure = errorText(DWORD(error));
            return nullptr;
        }
        return std::make_unique<WinsockStream>(socket);
    }

private:
    // A service discovery query for the Serial Port service on the device.
    static bool hasServiceRecord(std::uint64_t address) {
        if (!winsockReady(nullptr))
            return false;
        SOCKADDR_BTH peer{};
        peer.addressFamily = AF_BTH;
        peer.btAddr = address;
        wchar_t context[64];
        DWORD length = DWORD(std::size(context));
        if (::WSAAddressToStringW(reinterpret_cast<sockaddr *>(&peer), sizeof peer, nullptr,
                                  context, &length) == SOCKET_ERROR)
            return false;
        GUID service = SerialPortServiceClass_UUID;
        WSAQUERYSETW query{};
        query.dwSize = sizeof query;
        query.lpServiceClassId = &service;
        query.dwNameSpace = NS_BTH;
        query.lpszContext = context;
        HANDLE lookup = nullptr;
        if (::WSALookupServiceBeginW(&query, LUP_FLUSHCACHE, &lookup) == SOCKET_ERROR)
            return false;
        alignas(WSAQUERYSETW) char buffer[4096];
        DWORD size = sizeof buffer;
        const bool found = ::WSALookupServiceNextW(lookup, LUP_RETURN_NAME, &size,
                                                   reinterpret_cast<WSAQUERYSETW *>(buffer)) == 0;
        ::WSALookupServiceEnd(lookup);
        return found;
    }
};

} // namespace

bool systemHasBluetoothLinks() {
    return true;
}

const BluetoothLinks *systemBluetoothLinks(QString *whyNot) {
    static const WindowsBluetoothStack stack;
    static const StackLinks links(stack);
    if (const QString why = stack.unavailable(); !why.isEmpty()) {
        if (whyNot)
            *whyNot = why;
        return nullptr;
    }
    return &links;
}

} // namespace tavrenode
