#include "core/describe/row_description.h"

#include "core/describe/owner_lines.h"
#include "core/describe/queue_line.h"
#include "core/describe/traffic_line.h"

std::string RowDescription(const TcpRow& row, const RowFacts& facts) {
    std::string text = facts.isNew ? "New since the last refresh\n" : "";
    text += OwnerLines(facts.owners, row);
    for (const std::string& line :
         {RemoteHostLine(facts.remoteHost), ServiceLine(facts.service, facts.server),
          TrafficLine(row, facts.now), QueueLine(facts.now)})
        if (!line.empty()) text += "\n" + line;
    return text;
}
