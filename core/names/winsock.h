#pragma once

// Starts Winsock for the resolver and the services database, once per process; it stays started
// until the end. False when it cannot start.
bool WinsockStarted();
