#pragma once
// tidemark-send: one run of the send flow from the command line.
#include <istream>
#include <ostream>
#include <string>
#include <vector>

// Exit statuses of a run.
// ssNoReply: the reply to the end of the message never came; it may have been delivered.
// ssSentToSome: the server accepted the message for some recipients and refused the others.
enum TSendStatus { ssSent = 0, ssFailed = 1, ssUsage = 2, ssNoReply = 3, ssSentToSome = 4 };

// Runs the command with the arguments after the program name. The body comes from --body-file or
// from input; out gets the message-box texts, err the status texts and error messages (UTF-8).
// Needs a QCoreApplication.
int RunSendCommand(const std::vector<std::string>& args, std::istream& input, std::ostream& out,
                   std::ostream& err);
