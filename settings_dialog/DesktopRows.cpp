// The first page's rows about her place on the desktop: her size, starting with the desktop,
// sound volume and hiding while another window is full screen.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSlider>

#include "platform/Autostart.h"
#include "platform/Coordinates.h"
#include "settings_dialog/Config.h"
#include "settings_dialog/Controls.h"

namespace settings_dialog {

using namespace controls;

namespace {
constexpr int kScales[] = {100, 150, 200, 300};
}

void TCFForm::createDesktopRows(QWidget* p) {
    ScaleLabel = label(p, "ScaleLabel", "大きさ", 160, 314);
    ScaleCombo = named(new QComboBox(p), "ScaleCombo");
    for (int percent : kScales) {
        ScaleCombo->addItem(QStringLiteral("%1 %").arg(percent), percent);
    }
    place(ScaleCombo, std::max(200, ScaleLabel->geometry().right() + 4), 310, 80, 20);
    ScaleLabel->setBuddy(ScaleCombo);

    AutostartCheck = check(p, "AutostartCheck", "ログインしたら起動する", 12, 334, 150);
    FullscreenCheck = check(p, "FullscreenCheck", "全画面のときは隠れる", 170, 334, 150);

    VolumeLabel = label(p, "VolumeLabel", "おとの大きさ", 12, 357);
    VolumeSlider = named(new QSlider(Qt::Horizontal, p), "VolumeSlider");
    VolumeSlider->setRange(0, 100);
    VolumeSlider->setSingleStep(5);
    VolumeSlider->setPageStep(10);
    place(VolumeSlider, std::max(90, VolumeLabel->geometry().right() + 6), 355, 150, 20);
    VolumeLabel->setBuddy(VolumeSlider);
    VolumeSlider->setAccessibleName(QStringLiteral("おとの大きさ"));
}

void TCFForm::fillDesktopRows(const core::Settings& s) {
    // A size from the file that is none of the choices is offered as it is.
    while (ScaleCombo->count() > static_cast<int>(std::size(kScales))) {
        ScaleCombo->removeItem(ScaleCombo->count() - 1);
    }
    int index = ScaleCombo->findData(s.CharScale);
    if (index < 0) {
        ScaleCombo->addItem(QStringLiteral("%1 %").arg(s.CharScale), s.CharScale);
        index = ScaleCombo->count() - 1;
    }
    ScaleCombo->setCurrentIndex(index);
    // The autostart folder is the truth: an entry made or removed by hand shows here.
    AutostartCheck->setChecked(platform::autostartEnabled());
    FullscreenCheck->setChecked(s.HideOnFullscreen);
    VolumeSlider->setValue(s.Volume);
}

void TCFForm::readDesktopRows(ConfigValues& v) const {
    v.CharScale = ScaleCombo->currentIndex() >= 0 ? ScaleCombo->currentData().toInt() : 0;
    v.Autostart = AutostartCheck->isChecked();
    v.HideOnFullscreen = FullscreenCheck->isChecked();
    v.Volume = VolumeSlider->value();
}

int TCFForm::labelToDesign(int v) const {
    const int percent = host_.scale ? host_.scale() : 100;
    return platform::fromScale(v, percent);
}

int TCFForm::designToLabel(int v) const {
    const int percent = host_.scale ? host_.scale() : 100;
    return platform::atScale(v, percent);
}

} // namespace settings_dialog
