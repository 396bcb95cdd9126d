#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

// A SHA-256 digest through the system's own cryptographic library: libcrypto (OpenSSL) on
// Linux, CNG (bcrypt) on Windows. Both use the processor's SHA instructions where it has them:
// Qt's own implementation took as long as building the delivery lines it hashed.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void addData(QByteArrayView bytes);
    // The digest of everything added since the start or the last reset(); once asked for,
    // nothing more is added until reset().
    QByteArray result();
    void reset();

    static QByteArray hash(const QByteArray &bytes);

private:
    struct State;
    std::unique_ptr<State> m_state;
};
