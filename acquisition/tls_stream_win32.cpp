// TLS through Schannel (SSPI, secur32) and the certificate check through CryptoAPI (crypt32).
//
// Wine's Schannel leaves the server certificate unchecked and SSL 3.0 to TLS 1.1 enabled unless
// told otherwise, so the protocols allowed are named, the certificate is checked here by hand
// (the chain's own trust status and the SSL policy with the host name), and the protocol that
// was negotiated is checked once more after the handshake.
#include "acquisition/tls_stream.h"

#define SECURITY_WIN32
#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>
#include <schannel.h>
#include <security.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "acquisition/url.h"
#include "base/heap_block.h"

namespace {

// SCH_CREDENTIALS and TLS_PARAMETERS as Windows defines them (schannel.h with
// SCHANNEL_USE_BLACKLISTS), the form that allows TLS 1.3 on Windows 11.
struct TlsParameters {
    DWORD cAlpnIds;
    void* rgstrAlpnIds;
    DWORD grbitDisabledProtocols;
    DWORD cDisabledCrypto;
    void* pDisabledCrypto;
    DWORD dwFlags;
};
struct SchCredentials {
    DWORD dwVersion;
    DWORD dwCredFormat;
    DWORD cCreds;
    PCCERT_CONTEXT* paCred;
    HCERTSTORE hRootStore;
    DWORD cMappers;
    struct _HMAPPER** aphMappers;
    DWORD dwSessionLifespan;
    DWORD dwFlags;
    DWORD cTlsParameters;
    TlsParameters* pTlsParameters;
};
const DWORD kSchCredentialsVersion = 5;

const DWORD kAllowedProtocols = SP_PROT_TLS1_2_CLIENT | 0x00002000;  // TLS 1.2 and 1.3
const DWORD kRefusedProtocols =
    SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
// The newer structure takes no SCH_USE_STRONG_CRYPTO: some Windows versions refuse it there.
const DWORD kCredentialFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
const DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                            ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;

enum {
    kRecordHeaderSize = 5,
    kMaxRecordSize = kRecordHeaderSize + 16384 + 2048,  // the largest TLS 1.2 record
    kRecordBufferSize = 64 * 1024 + kMaxRecordSize,     // received bytes, decrypted in place
    kSendBufferSize = 2048,                             // one record of the request
    kAlertRecord = 21,
    // InitializeSecurityContext calls of one handshake that take the server's bytes or make a
    // token: a bound on a server that goes on handshaking for ever. Calls that only find the
    // bytes so far incomplete do not count: a large certificate chain arriving in small pieces
    // takes one per read, and every read is bounded by the wait limits already.
    kMaxHandshakeSteps = 64,
};

// A credentials handle, freed by the destructor.
class Credentials {
public:
    Credentials() : m_valid(false) {}
    ~Credentials() { Release(); }
    Credentials(const Credentials&) = delete;
    Credentials& operator=(const Credentials&) = delete;

    // Schannel's client credentials: the newer structure first (TLS 1.2 and 1.3); the older one
    // (TLS 1.2) where the newer is unknown or its disabled protocols are not honoured (Wine 8
    // takes the structure but leaves every protocol on).
    bool Acquire()
    {
        TlsParameters parameters = {};
        parameters.grbitDisabledProtocols = ~kAllowedProtocols;
        SchCredentials newer = {};
        newer.dwVersion = kSchCredentialsVersion;
        newer.dwFlags = kCredentialFlags;
        newer.cTlsParameters = 1;
        newer.pTlsParameters = &parameters;
        if (AcquireWith(&newer) && !EnablesRefusedProtocols())
            return true;
        Release();
        SCHANNEL_CRED older = {};
        older.dwVersion = SCHANNEL_CRED_VERSION;
        older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
        older.dwFlags = kCredentialFlags | SCH_USE_STRONG_CRYPTO;
        return AcquireWith(&older);
    }
    CredHandle* Get() { return &m_handle; }

private:
    void Release()
    {
        if (m_valid)
            FreeCredentialsHandle(&m_handle);
        m_valid = false;
    }
    // Whether the credentials say they would speak a protocol older than TLS 1.2. A platform
    // that cannot say is trusted here; the protocol negotiated is checked after the handshake.
    bool EnablesRefusedProtocols()
    {
        SecPkgCred_SupportedProtocols supported = {};
        return QueryCredentialsAttributesA(&m_handle, SECPKG_ATTR_SUPPORTED_PROTOCOLS, &supported) == SEC_E_OK &&
               (supported.grbitProtocol & kRefusedProtocols) != 0;
    }
    bool AcquireWith(void* data)
    {
        TimeStamp expiry;
        m_valid = AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND,
                                            nullptr, data, nullptr, nullptr, &m_handle, &expiry) == SEC_E_OK;
        return m_valid;
    }
    CredHandle m_handle;
    bool m_valid;
};

// A security context handle, made by the first InitializeSecurityContext call and deleted by the
// destructor.
class SecurityContext {
public:
    SecurityContext() : m_valid(false) {}
    ~SecurityContext()
    {
        if (m_valid)
            DeleteSecurityContext(&m_handle);
    }
    SecurityContext(const SecurityContext&) = delete;
    SecurityContext& operator=(const SecurityContext&) = delete;

    CtxtHandle* Get() { return &m_handle; }
    CtxtHandle* Existing() { return m_valid ? &m_handle : nullptr; }
    void Made() { m_valid = true; }

private:
    CtxtHandle m_handle;
    bool m_valid;
};

// A token Schannel allocated for us to send, freed by the destructor.
class OutputToken {
public:
    OutputToken() : m_buffer{0, SECBUFFER_TOKEN, nullptr}, m_description{SECBUFFER_VERSION, 1, &m_buffer} {}
    ~OutputToken()
    {
        if (m_buffer.pvBuffer != nullptr)
            FreeContextBuffer(m_buffer.pvBuffer);
    }
    OutputToken(const OutputToken&) = delete;
    OutputToken& operator=(const OutputToken&) = delete;

    SecBufferDesc* Description() { return &m_description; }
    const char* Data() const { return static_cast<const char*>(m_buffer.pvBuffer); }
    size_t Size() const { return m_buffer.pvBuffer != nullptr ? m_buffer.cbBuffer : 0; }

private:
    SecBuffer m_buffer;
    SecBufferDesc m_description;
};

// A CryptoAPI object handed out to us, freed by the destructor with Free.
template <typename Pointer, typename Free>
class CryptObject {
public:
    CryptObject() : m_pointer(nullptr) {}
    ~CryptObject()
    {
        if (m_pointer != nullptr)
            Free()(m_pointer);
    }
    CryptObject(const CryptObject&) = delete;
    CryptObject& operator=(const CryptObject&) = delete;
    Pointer* Out() { return &m_pointer; }
    Pointer Get() const { return m_pointer; }

private:
    Pointer m_pointer;
};

struct FreeCertificate {
    void operator()(PCCERT_CONTEXT certificate) const { CertFreeCertificateContext(certificate); }
};
struct FreeChain {
    void operator()(PCCERT_CHAIN_CONTEXT chain) const { CertFreeCertificateChain(chain); }
};
using CertificateContext = CryptObject<PCCERT_CONTEXT, FreeCertificate>;
using CertificateChain = CryptObject<PCCERT_CHAIN_CONTEXT, FreeChain>;

// What is wrong with a chain, by its trust status.
FetchFailure JudgeTrustStatus(DWORD errors)
{
    if (errors & CERT_TRUST_IS_NOT_TIME_VALID)
        return FetchFailure::kCertExpired;
    if (errors & CERT_TRUST_IS_NOT_VALID_FOR_USAGE)
        return FetchFailure::kCertWrongUsage;
    if (errors & CERT_TRUST_IS_PARTIAL_CHAIN)
        return FetchFailure::kCertChainIncomplete;
    return FetchFailure::kCertUntrusted;
}

// What is wrong with a chain, by the SSL policy's verdict.
FetchFailure JudgePolicyError(DWORD error)
{
    switch (error) {
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH): return FetchFailure::kCertWrongName;
    case static_cast<DWORD>(CERT_E_EXPIRED): return FetchFailure::kCertExpired;
    case static_cast<DWORD>(CERT_E_WRONG_USAGE): return FetchFailure::kCertWrongUsage;
    case static_cast<DWORD>(CERT_E_CHAINING): return FetchFailure::kCertChainIncomplete;
    default: return FetchFailure::kCertUntrusted;
    }
}

// The chain from the server's certificate to a trusted root, built for server use without
// revocation checks (offline they fail, and a revocation server that never answers would hold
// the fetch), then judged twice: by its own trust status, and by the SSL policy for the host.
// kNone when it passes both, else what is wrong with it.
FetchFailure CheckServerCertificate(CtxtHandle* context, const char* host)
{
    CertificateContext certificate;
    if (QueryContextAttributesA(context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, certificate.Out()) != SEC_E_OK)
        return FetchFailure::kHandshakeFailed;
    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    char* usages[] = {serverAuth};
    CERT_CHAIN_PARA chainPara = {};
    chainPara.cbSize = sizeof(chainPara);
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    CertificateChain chain;
    if (!CertGetCertificateChain(nullptr, certificate.Get(), nullptr, certificate.Get()->hCertStore, &chainPara,
                                 0, nullptr, chain.Out()))
        return FetchFailure::kCertUntrusted;
    if (chain.Get()->TrustStatus.dwErrorStatus != CERT_TRUST_NO_ERROR)
        return JudgeTrustStatus(chain.Get()->TrustStatus.dwErrorStatus);
    WCHAR name[kUrlBufferSize];
    if (MultiByteToWideChar(CP_ACP, 0, host, -1, name, kUrlBufferSize) == 0)
        return FetchFailure::kCertWrongName;
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
    ssl.cbSize = sizeof(ssl);
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = name;
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof(policy);
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof(status);
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.Get(), &policy, &status))
        return FetchFailure::kCertUntrusted;
    return status.dwError == 0 ? FetchFailure::kNone : JudgePolicyError(status.dwError);
}

// Whether the bytes a server sent first are a ServerHello choosing a protocol older than TLS 1.2
// (a record of the handshake whose first message is a ServerHello, its version below 3.3).
bool OffersOnlyOlderProtocol(const unsigned char* hello, size_t len)
{
    const unsigned char kHandshakeRecord = 22, kServerHello = 2;
    return len >= 11 && hello[0] == kHandshakeRecord && hello[5] == kServerHello &&
           (hello[9] < 3 || (hello[9] == 3 && hello[10] < 3));
}

}  // namespace

// The session's handles and its one buffer: the request's record at the front, then the bytes
// received and not yet used, records[start, end), decrypted there in place; plain points at
// the decrypted bytes not yet handed out.
struct TlsStream::Session {
    enum Step { kDecrypted, kNeedMore, kEnded, kFailed };

    Session() : buffer(kSendBufferSize + kRecordBufferSize), start(0), end(0), plain(nullptr), plainLength(0),
                ended(false), tls13(false), sizes()
    {
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Negotiate(TcpConnection& connection, const char* host);
    // kNone once the session may carry the request, else why not.
    FetchFailure Settle(const char* host);
    // Why a handshake that did not complete failed, as far as the server's first bytes tell.
    FetchFailure NegotiationFailure() const;
    long ReadMore(TcpConnection& connection, bool forRecord);
    Step DecryptRecord(TcpConnection& connection, const char* host);
    size_t TakePlain(char* buf, size_t size);
    void Keep(const SecBuffer& extra) { start = extra.BufferType == SECBUFFER_EXTRA ? end - extra.cbBuffer : end; }
    char* Records() { return buffer.Data() + kSendBufferSize; }

    Credentials credentials;
    SecurityContext context;
    HeapBlock buffer;
    size_t start;
    size_t end;
    char* plain;
    size_t plainLength;
    bool ended;
    bool tls13;
    SecPkgContext_StreamSizes sizes;
    unsigned char serverHello[16] = {};  // the first bytes the server sent
    size_t serverHelloLength = 0;
};

// Runs InitializeSecurityContext until the handshake is complete, sending every token it makes
// and keeping every byte it has not used yet (a partial record, the records after it).
bool TlsStream::Session::Negotiate(TcpConnection& connection, const char* host)
{
    bool needData = context.Existing() != nullptr && start == end;
    unsigned long flags = kContextFlags;
    for (int steps = 0; steps < kMaxHandshakeSteps;) {
        if (needData && ReadMore(connection, false) <= 0)
            return false;
        SecBuffer in[2] = {{static_cast<unsigned long>(end - start), SECBUFFER_TOKEN, Records() + start},
                           {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc input = {SECBUFFER_VERSION, 2, in};
        OutputToken token;
        unsigned long attributes = 0;
        CtxtHandle* existing = context.Existing();
        SECURITY_STATUS status = InitializeSecurityContextA(
            credentials.Get(), existing, const_cast<char*>(host), flags, 0, 0, existing ? &input : nullptr, 0,
            existing ? nullptr : context.Get(), token.Description(), &attributes, nullptr);
        if (existing == nullptr && status >= 0)  // any success made the context
            context.Made();
        if (token.Size() > 0 && !SendAll(connection, token.Data(), token.Size()))
            return false;
        needData = true;
        if (status == SEC_E_INCOMPLETE_MESSAGE)
            continue;  // every byte stays for the next call
        ++steps;
        if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
            // The server asks for a client certificate: go on without one, from the same bytes.
            flags |= ISC_REQ_USE_SUPPLIED_CREDS;
            needData = false;
            continue;
        }
        if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED)
            return false;
        if (existing != nullptr)
            Keep(in[1]);
        if (status == SEC_E_OK)
            return true;
        needData = start == end;
    }
    return false;
}

// After the handshake: the protocol is one allowed, the certificate is good for host, and the
// request's record fits the send area.
FetchFailure TlsStream::Session::Settle(const char* host)
{
    SecPkgContext_ConnectionInfo info = {};
    if (QueryContextAttributesA(context.Get(), SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK)
        return FetchFailure::kHandshakeFailed;
    if ((info.dwProtocol & kAllowedProtocols) == 0)
        return FetchFailure::kOldProtocol;
    tls13 = (info.dwProtocol & SP_PROT_TLS1_2_CLIENT) == 0;
    FetchFailure certificate = CheckServerCertificate(context.Get(), host);
    if (certificate != FetchFailure::kNone)
        return certificate;
    bool sized = QueryContextAttributesA(context.Get(), SECPKG_ATTR_STREAM_SIZES, &sizes) == SEC_E_OK &&
                 sizes.cbHeader + sizes.cbTrailer < kSendBufferSize / 2;
    return sized ? FetchFailure::kNone : FetchFailure::kHandshakeFailed;
}

FetchFailure TlsStream::Session::NegotiationFailure() const
{
    return OffersOnlyOlderProtocol(serverHello, serverHelloLength) ? FetchFailure::kOldProtocol
                                                                   : FetchFailure::kHandshakeFailed;
}

// Receives more bytes after records[start, end), moving those to the front first when the rest
// of the record they begin (in the handshake: a whole record) would not fit behind them. The
// count received, 0 when the server closed the connection, -1 on failure or a full buffer.
long TlsStream::Session::ReadMore(TcpConnection& connection, bool forRecord)
{
    char* records = Records();
    if (start == end)
        start = end = 0;
    size_t pending = end - start;
    size_t wanted = kMaxRecordSize;
    if (forRecord && pending >= kRecordHeaderSize)
        wanted = kRecordHeaderSize + ((static_cast<unsigned char>(records[start + 3]) << 8) |
                                      static_cast<unsigned char>(records[start + 4]));
    if (start > 0 && (start + wanted > kRecordBufferSize || end == kRecordBufferSize)) {
        memmove(records, records + start, pending);
        start = 0;
        end = pending;
    }
    if (end == kRecordBufferSize)
        return -1;
    long got = connection.Recv(records + end, kRecordBufferSize - end);
    if (got > 0) {
        size_t take = sizeof(serverHello) - serverHelloLength;
        take = take < static_cast<size_t>(got) ? take : static_cast<size_t>(got);
        memcpy(serverHello + serverHelloLength, records + end, take);  // the server's first bytes
        serverHelloLength += take;
        end += static_cast<size_t>(got);
    }
    return got;
}

// Decrypts the record at records[start] in place. Wine reads a record's header even when fewer
// bytes are there, so fewer than five always ask for more. The server's close_notify ends the
// session: Windows says so, Wine gives an alert record with no data.
TlsStream::Session::Step TlsStream::Session::DecryptRecord(TcpConnection& connection, const char* host)
{
    if (end - start < kRecordHeaderSize)
        return kNeedMore;
    char* records = Records();
    bool alert = records[start] == kAlertRecord;
    SecBuffer buffers[4] = {{static_cast<unsigned long>(end - start), SECBUFFER_DATA, records + start},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc description = {SECBUFFER_VERSION, 4, buffers};
    SECURITY_STATUS status = DecryptMessage(context.Get(), &description, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE)
        return kNeedMore;
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED)
        return kFailed;
    start = end;
    for (const SecBuffer& b : buffers) {
        if (b.BufferType == SECBUFFER_DATA) {
            plain = static_cast<char*>(b.pvBuffer);
            plainLength = b.cbBuffer;
        } else if (b.BufferType == SECBUFFER_EXTRA) {
            Keep(b);
        }
    }
    ended = status == SEC_I_CONTEXT_EXPIRED || (alert && plainLength == 0);
    // TLS 1.3 sends messages after the handshake (tickets, key updates), which Windows hands
    // to InitializeSecurityContext; a TLS 1.2 server's wish to renegotiate is declined by not
    // answering it, as Wine cannot renegotiate anyway.
    if (status == SEC_I_RENEGOTIATE && tls13 && !Negotiate(connection, host))
        return kFailed;
    return ended && plainLength == 0 ? kEnded : kDecrypted;
}

size_t TlsStream::Session::TakePlain(char* buf, size_t size)
{
    size_t n = plainLength < size ? plainLength : size;
    memcpy(buf, plain, n);
    plain += n;
    plainLength -= n;
    return n;
}

TlsStream::~TlsStream() { DropSession(); }

void TlsStream::DropSession()
{
    if (m_session != nullptr) {
        m_session->~Session();
        free(m_session);
        m_session = nullptr;
    }
}

bool TlsStream::Handshake(const char* host)
{
    if (m_session != nullptr)
        return false;
    void* memory = malloc(sizeof(Session));
    if (memory == nullptr)
        return false;
    m_session = new (memory) Session();
    m_host = host;
    Session& s = *m_session;
    FetchFailure failure = FetchFailure::kHandshakeFailed;
    if (s.buffer && s.credentials.Acquire())
        failure = s.Negotiate(m_connection, host) ? s.Settle(host) : s.NegotiationFailure();
    if (failure != FetchFailure::kNone) {
        m_connection.NoteFailure(failure);  // a failure of the connection itself was noted first
        DropSession();
        return false;
    }
    return true;
}

long TlsStream::Send(const char* data, size_t len)
{
    if (m_session == nullptr || m_session->ended)
        return -1;
    Session& s = *m_session;
    size_t room = kSendBufferSize - s.sizes.cbHeader - s.sizes.cbTrailer;
    size_t take = len < room ? len : room;
    take = take < s.sizes.cbMaximumMessage ? take : s.sizes.cbMaximumMessage;
    char* record = s.buffer.Data();
    memcpy(record + s.sizes.cbHeader, data, take);
    SecBuffer buffers[4] = {{s.sizes.cbHeader, SECBUFFER_STREAM_HEADER, record},
                            {static_cast<unsigned long>(take), SECBUFFER_DATA, record + s.sizes.cbHeader},
                            {s.sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record + s.sizes.cbHeader + take},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc description = {SECBUFFER_VERSION, 4, buffers};
    if (EncryptMessage(s.context.Get(), 0, &description, 0) != SEC_E_OK)
        return -1;
    size_t total = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
    return SendAll(m_connection, record, total) ? static_cast<long>(take) : -1;
}

long TlsStream::Recv(char* buf, size_t size)
{
    if (m_session == nullptr)
        return -1;
    Session& s = *m_session;
    for (;;) {
        if (s.plainLength > 0)
            return static_cast<long>(s.TakePlain(buf, size));
        if (s.ended)
            return 0;
        Session::Step step = s.DecryptRecord(m_connection, m_host);
        if (step == Session::kFailed) {
            m_connection.NoteFailure(FetchFailure::kHandshakeFailed);
            return -1;
        }
        if (step == Session::kNeedMore) {
            long got = s.ReadMore(m_connection, true);
            if (got == 0 && s.start != s.end)
                m_connection.NoteFailure(FetchFailure::kReset);  // it ended inside a record
            if (got < 0 || (got == 0 && s.start != s.end))
                return -1;  // a failure, or a connection that ended inside a record
            s.ended = got == 0;
        }
    }
}

void TlsStream::Close()
{
    if (m_session == nullptr || m_session->context.Existing() == nullptr)
        return;
    Session& s = *m_session;
    DWORD shutdown = SCHANNEL_SHUTDOWN;
    SecBuffer control = {sizeof(shutdown), SECBUFFER_TOKEN, &shutdown};
    SecBufferDesc description = {SECBUFFER_VERSION, 1, &control};
    if (ApplyControlToken(s.context.Get(), &description) != SEC_E_OK)
        return;
    OutputToken token;
    unsigned long attributes = 0;
    InitializeSecurityContextA(s.credentials.Get(), s.context.Get(), const_cast<char*>(m_host), kContextFlags, 0, 0,
                               nullptr, 0, nullptr, token.Description(), &attributes, nullptr);
    if (token.Size() > 0)
        SendAll(m_connection, token.Data(), token.Size());
    s.ended = true;
}
