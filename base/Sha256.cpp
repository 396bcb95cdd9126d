#include "base/Sha256.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>

#include <bcrypt.h>
#else
#include <openssl/evp.h>
#endif

namespace {

// A library that cannot compute SHA-256 is a broken installation, not a state to go on in:
// a wrong digest would be recorded as the proof of a delivery.
[[noreturn]] void unusable(const char *what)
{
    qFatal("SHA-256: %s failed", what);
}

} // namespace

#ifdef Q_OS_WIN

struct Sha256::State
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    QByteArray result;

    ~State()
    {
        if (algorithm)
            BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    void begin()
    {
        if (!algorithm
            && !BCRYPT_SUCCESS(
                    BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
            unusable("BCryptOpenAlgorithmProvider");
        if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0)))
            unusable("BCryptCreateHash");
    }
    void add(const char *data, qsizetype size) const
    {
        // CNG takes at most 4 GiB a call.
        while (size > 0) {
            const ULONG piece = ULONG(qMin<qsizetype>(size, 1 << 30));
            if (!BCRYPT_SUCCESS(BCryptHashData(
                        hash, reinterpret_cast<PUCHAR>(const_cast<char *>(data)), piece, 0)))
                unusable("BCryptHashData");
            data += piece;
            size -= piece;
        }
    }
    void finish()
    {
        result.resize(32);
        if (!BCRYPT_SUCCESS(BCryptFinishHash(hash, reinterpret_cast<PUCHAR>(result.data()), 32, 0)))
            unusable("BCryptFinishHash");
        end();
    }
    void end()
    {
        if (hash)
            BCryptDestroyHash(hash);
        hash = nullptr;
    }
};

#else

struct Sha256::State
{
    EVP_MD_CTX *hash = nullptr;
    QByteArray result;

    void begin()
    {
        if (!hash)
            hash = EVP_MD_CTX_new();
        if (!hash || EVP_DigestInit_ex(hash, EVP_sha256(), nullptr) != 1)
            unusable("EVP_DigestInit_ex");
    }
    void add(const char *data, qsizetype size) const
    {
        if (EVP_DigestUpdate(hash, data, size_t(size)) != 1)
            unusable("EVP_DigestUpdate");
    }
    void finish()
    {
        result.resize(32);
        unsigned int length = 0;
        if (EVP_DigestFinal_ex(hash, reinterpret_cast<unsigned char *>(result.data()), &length) != 1
            || length != 32)
            unusable("EVP_DigestFinal_ex");
    }
    void end()
    {
        EVP_MD_CTX_free(hash);
        hash = nullptr;
    }
};

#endif

Sha256::Sha256() : m_state(std::make_unique<State>())
{
    m_state->begin();
}

Sha256::~Sha256()
{
    m_state->end();
}

void Sha256::addData(QByteArrayView bytes)
{
    if (m_state->result.isNull())
        m_state->add(bytes.constData(), bytes.size());
}

QByteArray Sha256::result()
{
    if (m_state->result.isNull())
        m_state->finish();
    return m_state->result;
}

void Sha256::reset()
{
    m_state->end();
    m_state->result = QByteArray();
    m_state->begin();
}

QByteArray Sha256::hash(const QByteArray &bytes)
{
    Sha256 sha;
    sha.addData(bytes);
    return sha.result();
}
