// A session manager that speaks XSMP (libSM over libICE) to the programs that register with it,
// as a desktop's does, driven by lines on its standard input:
//   checkpoint  asks every client to save its data and state, as a desktop's "save session" does;
//   shutdown    asks the same for the end of the session, then tells every client to die.
// It prints the network ID that SESSION_MANAGER names, then "registered" for each client that
// registers, "saved" once every client asked has saved, and "died" once it has told them to die.
#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>
#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<SmsConn> clients;
std::size_t saving = 0;  // clients asked to save that have not yet said they have
bool shuttingDown = false;

void Say(const char* line) { std::printf("%s\n", line), std::fflush(stdout); }

void SaveYourselfDone(SmsConn, SmPointer, Bool) {
    if (saving == 0 || --saving > 0) return;
    Say("saved");
    if (!shuttingDown) return;
    for (SmsConn client : clients) SmsDie(client);
    Say("died");
}

// The callbacks of the messages that a client sends when asked as this manager asks: without
// interaction, in one phase. Properties are not kept.
Status NewClient(SmsConn, SmPointer, unsigned long* mask, SmsCallbacks* callbacks, char**) {
    std::memset(callbacks, 0, sizeof *callbacks);
    callbacks->register_client.callback = [](SmsConn client, SmPointer, char* previousId) {
        std::free(previousId);
        char* id = SmsGenerateClientID(client);
        SmsRegisterClientReply(client, id);
        std::free(id);
        clients.push_back(client);
        Say("registered");
        return Status(1);
    };
    callbacks->save_yourself_done.callback = SaveYourselfDone;
    callbacks->close_connection.callback = [](SmsConn client, SmPointer, int count, char** why) {
        SmFreeReasons(count, why);
        std::erase(clients, client);
        SmsCleanUp(client);
    };
    callbacks->set_properties.callback = [](SmsConn, SmPointer, int, SmProp**) {};
    callbacks->delete_properties.callback = [](SmsConn, SmPointer, int, char**) {};
    *mask = SmsRegisterClientProcMask | SmsSaveYourselfDoneProcMask | SmsCloseConnectionProcMask |
            SmsSetPropertiesProcMask | SmsDeletePropertiesProcMask;
    return 1;
}

// Any client of this machine may connect: the test runs in a network namespace of its own.
Bool AnyHost(char*) { return True; }

}  // namespace

int main() {
    char error[256] = {};
    int count = 0;
    IceListenObj* listeners = nullptr;
    if (!SmsInitialize("sockview-test", "1.0", NewClient, nullptr, AnyHost, sizeof error, error) ||
        !IceListenForConnections(&count, &listeners, sizeof error, error))
        return std::fprintf(stderr, "session_manager: %s\n", error), 1;
    for (int i = 0; i < count; ++i) IceSetHostBasedAuthProc(listeners[i], AnyHost);
    IceSetIOErrorHandler([](IceConn) {});  // a client that goes is no reason to end
    char* id = IceComposeNetworkIdList(count, listeners);
    Say(id);
    std::free(id);

    std::vector<IceConn> connections;
    for (std::string command;;) {
        std::vector<pollfd> ready{{0, POLLIN, 0}};
        for (int i = 0; i < count; ++i)
            ready.push_back({IceGetListenConnectionNumber(listeners[i]), POLLIN, 0});
        for (IceConn connection : connections)
            ready.push_back({IceConnectionNumber(connection), POLLIN, 0});
        if (poll(ready.data(), ready.size(), -1) < 0) continue;
        if (ready[0].revents != 0 && !std::getline(std::cin, command)) return 0;
        if (ready[0].revents != 0 && (command == "checkpoint" || command == "shutdown")) {
            shuttingDown = command == "shutdown";
            saving = clients.size();
            for (SmsConn client : clients)
                SmsSaveYourself(client, SmSaveBoth, shuttingDown, SmInteractStyleNone, False);
        }
        IceAcceptStatus status;
        for (int i = 0; i < count; ++i)
            if (ready[1 + i].revents != 0)
                if (IceConn connection = IceAcceptConnection(listeners[i], &status))
                    connections.push_back(connection);
        for (std::size_t i = 0; i < connections.size(); ++i)
            if (ready[1 + count + i].revents != 0 &&
                IceProcessMessages(connections[i], nullptr, nullptr) == IceProcessMessagesIOError)
                IceCloseConnection(std::exchange(connections[i], nullptr));
        std::erase(connections, nullptr);
    }
}
