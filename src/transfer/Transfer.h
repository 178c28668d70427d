#pragma once

#include "transfer/TransferThing.h"

#include <QStringView>
#include <QUrl>

#include <optional>
#include <vector>

namespace vorn {

class Pasteboard;
class PlannerWorkspace;

// Things on their way out of and into the app: the pasteboard formats, the plain-text checklist
// reader and the hand-off to the planner.
namespace Transfer {

// The titles, one a line, with no line feed after the last.
QString plainText(const std::vector<TransferThing>& things);
// The transfer JSON: an array of things with sorted keys, compact.
std::optional<QByteArray> encode(const std::vector<TransferThing>& things);
// The things of transfer JSON whose titles are not blank (titles kept as they are); nothing when the
// data does not decode or no thing is left.
std::optional<std::vector<TransferThing>> decode(QByteArrayView json);

// Puts the things as plain text, transfer JSON and, for exactly one thing with a note, RTF. An empty
// list leaves the pasteboard as it was.
void copy(const std::vector<TransferThing>& things, Pasteboard& pasteboard);
// The transfer data when it decodes, else the plain text read as a checklist, else nothing. Data over
// kImportLimit is not read: nothing, with `tooBig` set.
std::vector<TransferThing> paste(const Pasteboard& pasteboard, bool* tooBig = nullptr);
// Things read from plain text: checklists, bulleted and numbered lists, one thing a line; ticked
// items indented under a thing become its steps.
std::vector<TransferThing> parse(QStringView text);

bool plannerIsInstalled(const PlannerWorkspace& workspace);
// vornplanner://add?handoff=1, with &day= when a day is given.
std::optional<QUrl> plannerUrl(const std::optional<QString>& day);
// How a hand-off to the planner went; anything but `sent` leaves the pasteboard as it was.
enum class SendResult {
    sent,
    nothingToSend,
    plannerMissing, // no planner on this desktop
    notWritten,     // the hand-off couldn't be written (a full disk, say)
    notOpened,      // the planner's URL couldn't be opened
};

// Puts the things on the hand-off pasteboard, after any the planner has not taken yet, and opens the
// planner's URL.
SendResult sendToPlanner(const std::vector<TransferThing>& things, const std::optional<QString>& day,
                         PlannerWorkspace& workspace, Pasteboard& handoff);

} // namespace Transfer

} // namespace vorn
