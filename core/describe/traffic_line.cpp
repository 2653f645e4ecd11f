#include "core/describe/traffic_line.h"

#include "core/describe/units.h"

std::string TrafficLine(const TcpRow& row, const std::optional<SocketNow>& now) {
    if (row.state == TcpState::Listen) return {};
    if (!now) return "Traffic now: looking up...";
    if (now->kind == SocketNow::Kind::Refused)
        return "Traffic now: not visible without administrator rights";
    if (!now->traffic) return {};
    const Traffic& traffic = *now->traffic;
    std::string line = "Traffic now: ";
    if (traffic.countedSince)
        line = std::string("Traffic since ") + (traffic.countedSinceBefore ? "before " : "") +
               TimeOfDayText(*traffic.countedSince) + ": ";
    line += SizeText(traffic.bytesSent) + " sent, " + SizeText(traffic.bytesReceived) + " received";
    if (traffic.noDataYet)
        line += ", no data yet";
    else if (traffic.sinceLastData)
        line += ", last data " + DurationText(*traffic.sinceLastData) + " ago";
    if (traffic.roundTrip) line += ", round trip " + RoundTripText(*traffic.roundTrip);
    return line;
}
