#include "platform/qt/qt_settings_store.h"

#include <QSettings>

namespace tidemark {

namespace {

const QString kGroup = QStringLiteral("Settings");

QString KeyOf(const std::string& key) {
    return kGroup + QLatin1Char('/') + QString::fromStdString(key);
}

}  // namespace

QtSettingsStore::QtSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QStringLiteral("Tidemark"),
                                            QStringLiteral("Tidemark"))) {}

QtSettingsStore::QtSettingsStore(const std::string& ini_file)
    : settings_(
          std::make_unique<QSettings>(QString::fromStdString(ini_file), QSettings::IniFormat)) {}

QtSettingsStore::~QtSettingsStore() = default;

std::string QtSettingsStore::Read(const std::string& key, const std::string& fallback) {
    const QVariant value = settings_->value(KeyOf(key));
    return value.isValid() ? value.toString().toStdString() : fallback;
}

bool QtSettingsStore::Write(const std::string& key, const std::string& value) {
    settings_->setValue(KeyOf(key), QString::fromStdString(value));
    settings_->sync();
    // A damaged file reports a format error from then on, yet QSettings writes the file
    // anew (keeping what it could read); only an access error means nothing was written.
    return settings_->status() != QSettings::AccessError;
}

}  // namespace tidemark
