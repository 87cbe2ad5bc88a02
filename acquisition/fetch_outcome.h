// How a fetch ended, beside HttpGetToFile's 1 or 0: fetched (with the final response's status),
// or why it failed, as one kind of failure. Each layer of the fetch (name lookup, connection,
// TLS, the HTTP exchange) says why it gave up; the fetch keeps the first reason it was given.
#pragma once

enum class FetchFailure : unsigned char {
    kNone,                 // fetched
    kBadUrl,               // the URL, or a redirection's target, is not one the fetch can use
    kNameNotFound,         // the host name does not resolve
    kNameNoAnswer,         // the name lookup gave no answer within the wait
    kRefused,              // the connection was refused
    kConnectFailed,        // the connection could not be made for another reason
    kNoAnswer,             // a wait without progress ran past its limit
    kReset,                // the connection was cut or reset
    kClosedEarly,          // the server closed the connection before the page began
    kHandshakeFailed,      // the secure session could not be made or broke down
    kCertUntrusted,        // the certificate leads to no trusted root
    kCertWrongName,        // the certificate does not name the host
    kCertExpired,          // the certificate is not valid today
    kCertWrongUsage,       // the certificate is not meant for servers
    kCertChainIncomplete,  // the certificate's chain cannot be built
    kOldProtocol,          // the server offers only a protocol older than TLS 1.2
    kTooManyRedirects,     // more redirections than the fetch follows, or a loop
    kServerError,          // the server answered with a 5xx status
    kBadResponse,          // the response's head never ended within its limit
    kBodyShort,            // fewer body bytes than the response announced
    kTooLarge,             // the page grew past the size limit
    kTooSlow,              // the whole fetch ran past its time limit
    kWriteFailed,          // the fetched copy could not be written (a full disk)
    kSiteFolder,           // the site folder is missing or its paths are too long
    kAborted,              // the program is ending; nothing is recorded for it
    kCount
};

struct FetchResult {
    FetchFailure failure = FetchFailure::kNone;
    int status = 0;  // the status code of the last response, 0 when there was none
};

// Keeps the first reason a fetch gave up for; later ones are what followed from it.
class FailureNote {
public:
    void Note(FetchFailure failure)
    {
        if (m_failure == FetchFailure::kNone)
            m_failure = failure;
    }
    FetchFailure Failure() const { return m_failure; }
    void Clear() { m_failure = FetchFailure::kNone; }

private:
    FetchFailure m_failure = FetchFailure::kNone;
};

// A stable ASCII name of each failure for files ("name-not-found"); kNone gives "".
const char* FetchFailureName(FetchFailure failure);
// The failure a name spells; false for any other text.
bool ParseFetchFailure(const char* name, FetchFailure* failure);
