#include "video/CIPCamProfileList.h"

#include "platform/ProfileFile.h"
#include "platform/ProgramPaths.h"

#include <QLoggingCategory>

#include <limits>

Q_LOGGING_CATEGORY(lcCamProfiles, "krnotify.video.profiles")

namespace {
const QString kSection = QStringLiteral("USE_PROFILE");
}

CIPCamProfileList::CIPCamProfileList(QString path) : m_path(std::move(path)) {}

bool CIPCamProfileList::IsProfileBrand(int brand) const
{
    // brand + 2 beyond the int range matches no code.
    if (brand > std::numeric_limits<int>::max() - 2)
        return false;
    const int wanted = brand + 2;
    int count = ProfileFile::readInt(m_path, kSection, QStringLiteral("NUM"), 0);
    if (count > kMaxCodes) {
        qCWarning(lcCamProfiles) << m_path << "lists" << count << "codes; reading the first"
                                 << kMaxCodes;
        count = kMaxCodes;
    }
    for (int i = 0; i < count; ++i) {
        if (ProfileFile::readInt(m_path, kSection, QStringLiteral("PD%1").arg(i), -1) == wanted)
            return true;
    }
    return false;
}

QString CIPCamProfileList::DefaultPath()
{
    return ProgramPaths::resourceFile(QString::fromLatin1(kFileName));
}

void CIPCamProfileList::InstallDefault()
{
    CameraProfiles::install(std::make_shared<CIPCamProfileList>(DefaultPath()));
}
