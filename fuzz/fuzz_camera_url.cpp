// Stream profiles and the URL of a camera built from what a host says about its recorder
// (address, port, credentials, type, brand, camera). With the shipped profiles, whatever the
// host sends, a stream URL names the recorder's own address and carries no credentials.
// First byte odd: the profile text comes from the input too.

#include "StreamProfiles.h"

#include <QFile>
#include <QUrl>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

namespace {

const StreamProfiles& ShippedProfiles()
{
    static const StreamProfiles profiles = [] {
        QFile file(QStringLiteral(KRNOTIFY_RESOURCES "/KRVideoProfiles.ini"));
        if (!file.open(QIODevice::ReadOnly))
            std::abort();
        return StreamProfiles::fromText(file.readAll());
    }();
    return profiles;
}

QString Text(FuzzedDataProvider& in)
{
    return QString::fromStdString(in.ConsumeRandomLengthString(100));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool ownProfiles = in.ConsumeBool();
    const QString address = Text(in);
    const QString user = Text(in);
    const QString password = Text(in);
    const int port = in.ConsumeIntegral<int>();
    const int type = in.ConsumeIntegral<int>();
    const int brand = in.ConsumeIntegral<int>();
    const int camera = in.ConsumeIntegral<int>();
    if (ownProfiles) {
        const StreamProfiles profiles =
            StreamProfiles::fromText(QByteArray::fromStdString(in.ConsumeRemainingBytesAsString()));
        profiles.resolve(address, port, user, password, type, brand, camera);
        return 0;
    }
    const auto target =
        ShippedProfiles().resolve(address, port, user, password, type, brand, camera);
    if (!target)
        return 0;
    const QUrl url(target->url);
    QUrl recorder; // the address as a URL's host, in its normal form ("FE80::0" is "fe80::")
    recorder.setHost(address);
    if (!url.isValid() || url.host() != recorder.host() || !url.userInfo().isEmpty())
        std::abort();
    return 0;
}
