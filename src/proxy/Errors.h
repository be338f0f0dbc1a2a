#pragma once

// Failure texts of the messaging layer. The tests compare against these very
// strings.
namespace proxy::errors {

inline constexpr const char* comsBrokenInSendMessage = "Coms are broken in sendMessage.";
inline constexpr const char* unableToSendMessage = "Unable to send message on outgoing channel.";
inline constexpr const char* comsBroken = "Coms are broken";
inline constexpr const char* unableToPostMessage = "Unable to post message on outgoing channel.";
inline constexpr const char* remoteNotRunning = "The remote process is not running.";
inline constexpr const char* unexpectedSelector = "Unexpected selector received.";
inline constexpr const char* unknownSelector = "Unknown selector in handleRequest.";
inline constexpr const char* unableToSendResponse = "Unable to send response";

// Our own: a record sent before the channels exist, and a named buffer that
// maps less than the size announced for it (its name is a re-used one that a
// peer still holds at another size).
inline constexpr const char* notConnected = "No connection to the server.";
inline constexpr const char* bufferSmallerThanAnnounced =
    "The shared buffer maps fewer bytes than announced: ";
inline constexpr const char* bufferNameTooLong = "The shared buffer's name does not fit: ";
inline constexpr const char* settingsTextTooLarge =
    "The server announced more settings text than the plug-in takes: ";

} // namespace proxy::errors
