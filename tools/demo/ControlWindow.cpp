#include "ControlWindow.h"

#include "HubImage.h"

#include "FirmwareImage.h"
#include "Frame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>

namespace demo {

using namespace emuhub;

namespace {

constexpr int TRACE_LINES = 4000; // lines kept in the view; older ones scroll away
constexpr int POLL_MS = 100;
constexpr int SLOW_ABSENT_MS = 2000; // "slow re-enumeration": off the bus this long
const Ms DEFAULT_LEAVE{300};
const Ms DEFAULT_ABSENT{300};

QString hexVersion(const Version& v) {
    return QString::asprintf("%02X %02X %02X %02X", v[0], v[1], v[2], v[3]);
}

QString deviceState(const EmulatedDevice& device) {
    if (!device.isPlugged())
        return QStringLiteral("off the bus");
    QString s = QString::fromStdString(device.path());
    if (auto* hub = dynamic_cast<const EmulatedHub*>(&device))
        s += QStringLiteral(" · ") + QString::fromLatin1(HubModeName(hub->mode()));
    return s;
}

QSpinBox* spin(int min, int max, int value, int base = 10) {
    auto* s = new QSpinBox;
    s->setRange(min, max);
    s->setDisplayIntegerBase(base);
    if (base == 16)
        s->setPrefix(QStringLiteral("0x"));
    s->setValue(value);
    return s;
}

} // namespace

std::vector<ImageRecord> BuiltInImage() {
    return emuhub::RecordsOf(hidiap::LoadFirmwareLines());
}

bool ParseVersion(const QString& text, Version& out) {
    QString t = text.trimmed();
    if (t.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive))
        t = t.mid(2);
    t.remove(QLatin1Char(' '));
    static const QRegularExpression hex8(QStringLiteral("^[0-9A-Fa-f]{8}$"));
    if (!hex8.match(t).hasMatch())
        return false;
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<std::uint8_t>(t.mid(i * 2, 2).toUInt(nullptr, 16));
    return true;
}

QString FormatTraceEntry(const TraceEntry& e, Clock::time_point origin) {
    const double t = std::chrono::duration<double>(e.time - origin).count();
    QString line = QString::asprintf("%8.3f %-6s ", t, e.device.c_str());
    QString name = QString::fromLatin1(e.commandName());
    if (name.startsWith(QStringLiteral("CMD_")))
        name = name.mid(4);
    if (e.kind == TraceKind::Received || e.kind == TraceKind::Sent) {
        line += e.kind == TraceKind::Received ? QStringLiteral("→ ") : QStringLiteral("← ");
        line += name.leftJustified(12);
        line += e.status ? QString::asprintf(" [%02X]", *e.status) : QStringLiteral("     ");
        // Trailing zeros are padding: show them as a count so the payload stays readable.
        std::size_t end = e.bytes.size();
        while (end > 1 && e.bytes[end - 1] == 0)
            --end;
        for (std::size_t i = 0; i < end; ++i)
            line += QString::asprintf(" %02X", e.bytes[i]);
        if (end < e.bytes.size())
            line += QStringLiteral(" +%1×00").arg(e.bytes.size() - end);
        if (e.kind == TraceKind::Received && e.check != ReportCheck::Ok)
            line += QStringLiteral("  !! %1").arg(QString::fromLatin1(ReportCheckName(e.check)));
        return line;
    }
    line += QStringLiteral("── ") + QString::fromLatin1(TraceKindName(e.kind));
    if (!name.isEmpty())
        line += QLatin1Char(' ') + name;
    if (!e.text.empty())
        line += QStringLiteral(": ") + QString::fromStdString(e.text);
    if (!e.path.empty())
        line += QStringLiteral("  [%1, %2]")
                    .arg(QString::fromStdString(e.path), QString::fromLatin1(HubModeName(e.mode)));
    return line;
}

ControlWindow::ControlWindow(EmulatedBus& bus, EmulatedHub& hub, EmulatedHub& hub2,
                             EmulatedDecoy& decoy, std::size_t imageRecords,
                             const Version& newVersion, QWidget* parent)
    : QWidget(parent, Qt::Window), bus_(bus), hub_(hub), hub2_(hub2), decoy_(decoy),
      imageRecords_(imageRecords), newVersion_(newVersion), origin_(Clock::now()) {
    setWindowTitle(QStringLiteral("hidiap-demo: emulated hub"));

    auto* grid = new QGridLayout;
    grid->addWidget(buildDevices(), 0, 0);
    grid->addWidget(buildFirmware(), 1, 0);
    grid->addWidget(buildRunData(), 0, 1, 2, 1);
    grid->addWidget(buildFaults(), 2, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(8, 8, 8, 8);
    top->addLayout(grid);
    top->addWidget(buildTrace(), 1);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { poll(); });
    timer_->start(POLL_MS);

    applyVersion();
    applyRunData();
    resize(minimumSizeHint().width(), 780);
}

QWidget* ControlWindow::buildDevices() {
    auto* box = new QGroupBox(QStringLiteral("Devices"));
    auto* form = new QGridLayout(box);
    auto row = [&](int r, const QString& text, QCheckBox*& check, QLabel*& state,
                   EmulatedDevice& device) {
        check = new QCheckBox(text);
        state = new QLabel;
        state->setStyleSheet(QStringLiteral("color: palette(mid);"));
        form->addWidget(check, r * 2, 0);
        form->addWidget(state, r * 2 + 1, 0);
        connect(check, &QCheckBox::toggled, this, [&device](bool on) {
            if (on)
                device.plug();
            else
                device.unplug();
        });
    };
    row(0, QStringLiteral("Hub plugged in"), hubPlugged_, hubState_, hub_);
    row(1, QStringLiteral("Second hub plugged in"), hub2Plugged_, hub2State_, hub2_);
    row(2,
        QStringLiteral("Decoy %1:%2 plugged in")
            .arg(decoy_.vendorId(), 4, 16, QLatin1Char('0'))
            .arg(decoy_.productId(), 4, 16, QLatin1Char('0')),
        decoyPlugged_, decoyState_, decoy_);
    openDenied_ = new QCheckBox(QStringLiteral("Hub node not openable"));
    openDenied_->setToolTip(QStringLiteral("Opening the hub fails as without the udev rule; "
                                           "takes effect at its next appearance"));
    form->addWidget(openDenied_, 6, 0);
    connect(openDenied_, &QCheckBox::toggled, this, [this](bool on) { hub_.setOpenDenied(on); });
    return box;
}

QWidget* ControlWindow::buildFirmware() {
    auto* box = new QGroupBox(QStringLiteral("Hub firmware"));
    auto* form = new QFormLayout(box);
    version_ = new QComboBox;
    version_->setEditable(true);
    version_->addItems({QStringLiteral("11 14 12 25"), QStringLiteral("11 15 09 06"),
                        QStringLiteral("0A 0B 0C 0D"), QStringLiteral("FF 00 00 00")});
    version_->lineEdit()->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^ *([0-9A-Fa-f] *){0,8}$")), version_));
    version_->setCurrentText(hexVersion(hub_.version()));
    version_->setToolTip(QStringLiteral("What the application reports; 8 hex digits"));
    connect(version_, &QComboBox::currentTextChanged, this, [this] { applyVersion(); });
    form->addRow(QStringLiteral("Version"), version_);
    versionNote_ = new QLabel;
    versionNote_->setWordWrap(true);
    form->addRow(versionNote_);
    images_ = new QLabel;
    form->addRow(QStringLiteral("Updates applied"), images_);
    return box;
}

QWidget* ControlWindow::buildRunData() {
    auto* box = new QGroupBox(QStringLiteral("Running data"));
    auto* form = new QFormLayout(box);
    voltage_ = spin(0, 65535, 5120);
    voltage_->setSuffix(QStringLiteral(" mV"));
    current_ = spin(0, 65535, 1850);
    current_->setSuffix(QStringLiteral(" mA"));
    state_ = spin(0, 255, 2);
    channel_ = spin(0, 255, 1);
    form->addRow(QStringLiteral("Voltage"), voltage_);
    form->addRow(QStringLiteral("Current"), current_);
    form->addRow(QStringLiteral("State"), state_);
    form->addRow(QStringLiteral("Channel"), channel_);
    auto* slotRow = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        auto* c = new QCheckBox(QString::number(i + 1));
        c->setChecked(i < 3);
        slots_.push_back(c);
        slotRow->addWidget(c);
        connect(c, &QCheckBox::toggled, this, [this] { applyRunData(); });
    }
    form->addRow(QStringLiteral("Batteries"), slotRow);
    auto* extraRow = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        auto* s = spin(0, 255, 0, 16);
        extra_.push_back(s);
        extraRow->addWidget(s);
        connect(s, &QSpinBox::valueChanged, this, [this] { applyRunData(); });
    }
    form->addRow(QStringLiteral("Extra"), extraRow);
    for (QSpinBox* s : {voltage_, current_, state_, channel_})
        s->setMaximumWidth(110);
    for (QSpinBox* s : {voltage_, current_, state_, channel_})
        connect(s, &QSpinBox::valueChanged, this, [this] { applyRunData(); });
    return box;
}

QWidget* ControlWindow::buildFaults() {
    auto* box = new QGroupBox(QStringLiteral("Next update"));
    auto* grid = new QGridLayout(box);
    fault_ = new QComboBox;
    fault_->addItem(QStringLiteral("No fault"), FaultNone);
    fault_->addItem(QStringLiteral("Silent hub (answers nothing)"), FaultSilent);
    fault_->addItem(QStringLiteral("Unplugged in the middle of the image"), FaultUnplugMidImage);
    fault_->addItem(QStringLiteral("Error status on record…"), FaultRecordStatus);
    fault_->addItem(QStringLiteral("Never enters the boot loader"), FaultNeverEnterBootLoader);
    fault_->addItem(QStringLiteral("Never comes back after the restart"), FaultNeverComeBack);
    fault_->addItem(QStringLiteral("Slow re-enumeration (%1 s)").arg(SLOW_ABSENT_MS / 1000.0),
                    FaultSlowReenumeration);
    fault_->addItem(QStringLiteral("Powers up in the boot loader (next plug)"),
                    FaultStartInBootLoader);
    faultRecord_ = spin(1, static_cast<int>(std::max<std::size_t>(imageRecords_, 1)),
                        static_cast<int>(std::max<std::size_t>(imageRecords_ / 3, 1)));
    faultRecord_->setPrefix(QStringLiteral("record "));
    faultRecord_->setEnabled(false);
    auto* rearm = new QPushButton(QStringLiteral("Arm again"));
    rearm->setToolTip(QStringLiteral("A fault fires once; this sets it up for another update"));
    faultState_ = new QLabel;
    faultState_->setWordWrap(true);
    latency_ = spin(0, 2000, 0);
    latency_->setSuffix(QStringLiteral(" ms"));
    latency_->setSingleStep(10);

    grid->addWidget(fault_, 0, 0);
    grid->addWidget(faultRecord_, 0, 1);
    grid->addWidget(rearm, 0, 2);
    grid->addWidget(faultState_, 1, 0, 1, 3);
    auto* latencyRow = new QHBoxLayout;
    latencyRow->addWidget(new QLabel(QStringLiteral("Reply latency")));
    latencyRow->addWidget(latency_);
    latencyRow->addStretch(1);
    grid->addLayout(latencyRow, 2, 0, 1, 3);
    grid->setColumnStretch(0, 1);

    connect(fault_, &QComboBox::currentIndexChanged, this, [this] {
        faultRecord_->setEnabled(fault_->currentData().toInt() == FaultRecordStatus);
        armFault();
    });
    connect(faultRecord_, &QSpinBox::valueChanged, this, [this] { armFault(); });
    connect(rearm, &QPushButton::clicked, this, [this] { armFault(); });
    connect(latency_, &QSpinBox::valueChanged, this,
            [this](int ms) { hub_.setReplyLatency(Ms(ms)); });
    armFault();
    return box;
}

QWidget* ControlWindow::buildTrace() {
    auto* box = new QGroupBox(QStringLiteral("Frames (→ to the hub, ← from the hub)"));
    auto* v = new QVBoxLayout(box);
    trace_ = new QPlainTextEdit;
    trace_->setReadOnly(true);
    trace_->setLineWrapMode(QPlainTextEdit::NoWrap);
    trace_->setMaximumBlockCount(TRACE_LINES);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(mono.pointSizeF() * 0.9);
    trace_->setFont(mono);
    v->addWidget(trace_, 1);
    auto* row = new QHBoxLayout;
    pause_ = new QCheckBox(QStringLiteral("Pause"));
    pause_->setToolTip(QStringLiteral("Frames go on being recorded and appear when resumed"));
    auto* clear = new QPushButton(QStringLiteral("Clear"));
    traceCount_ = new QLabel;
    row->addWidget(pause_);
    row->addWidget(clear);
    row->addStretch(1);
    row->addWidget(traceCount_);
    v->addLayout(row);
    connect(clear, &QPushButton::clicked, this, [this] {
        trace_->clear();
        framesShown_ = 0;
    });
    return box;
}

void ControlWindow::applyVersion() {
    Version v{};
    if (!ParseVersion(version_->currentText(), v))
        return; // poll() says what is wrong
    hub_.setVersion(v);
}

void ControlWindow::applyRunData() {
    RunData d;
    d.voltage = static_cast<std::uint16_t>(voltage_->value());
    d.current = static_cast<std::uint16_t>(current_->value());
    d.state = static_cast<std::uint8_t>(state_->value());
    d.channel = static_cast<std::uint8_t>(channel_->value());
    d.slotFlags = 0;
    for (int i = 0; i < 4; ++i)
        if (slots_[i]->isChecked())
            d.slotFlags |= static_cast<std::uint8_t>(0x10 << i); // bits 4..7: batteries 1..4
    for (int i = 0; i < 3; ++i)
        d.extra[i] = static_cast<std::uint8_t>(extra_[i]->value());
    hub_.setRunData(d);
}

void ControlWindow::armFault() {
    // clearFaults also clears the permission fault, which has its own check box.
    hub_.clearFaults();
    hub_.setOpenDenied(openDenied_->isChecked());
    hub_.setReenumerationDelays(DEFAULT_LEAVE, DEFAULT_ABSENT);
    QString what;
    switch (fault_->currentData().toInt()) {
    case FaultNone:
        what = QStringLiteral("The update runs normally.");
        break;
    case FaultSilent:
        hub_.setSilent(true);
        what = QStringLiteral("The hub answers nothing from now on.");
        break;
    case FaultUnplugMidImage: {
        const int k = static_cast<int>(std::max<std::size_t>(imageRecords_ / 2, 1));
        hub_.unplugAfterRecords(k);
        what = QStringLiteral("Leaves the bus after record %1 of %2.").arg(k).arg(imageRecords_);
        break;
    }
    case FaultRecordStatus:
        hub_.addStatusFault(hublink::CMD_ADDR_DATA, faultRecord_->value(), EMU_STATUS_REFUSED);
        what = QStringLiteral("Record %1 is answered with status %2.")
                   .arg(faultRecord_->value())
                   .arg(EMU_STATUS_REFUSED, 2, 16, QLatin1Char('0'));
        break;
    case FaultNeverEnterBootLoader:
        hub_.setNeverEnterBootLoader(true);
        what = QStringLiteral("Acknowledges the switch but stays in the application.");
        break;
    case FaultNeverComeBack:
        hub_.setNeverComeBack(true);
        what = QStringLiteral("Leaves after the final restart and stays away.");
        break;
    case FaultSlowReenumeration:
        hub_.setReenumerationDelays(DEFAULT_LEAVE, Ms(SLOW_ABSENT_MS));
        what =
            QStringLiteral("Stays off the bus %1 ms at each re-enumeration.").arg(SLOW_ABSENT_MS);
        break;
    case FaultStartInBootLoader:
        hub_.setStartInBootLoader(true);
        what = QStringLiteral("Unplug and plug the hub: it comes up in its boot loader.");
        break;
    }
    faultState_->setText(QStringLiteral("Armed. ") + what);
}

void ControlWindow::syncDevice(QCheckBox* box, QLabel* state, EmulatedDevice& device) {
    // The hub leaves and returns by itself during an update; follow it without echoing.
    const bool plugged = device.isPlugged();
    if (box->isChecked() != plugged) {
        const QSignalBlocker block(box);
        box->setChecked(plugged);
    }
    state->setText(QStringLiteral("    ") + deviceState(device));
}

QString ControlWindow::traceText() const {
    return trace_->toPlainText();
}

void ControlWindow::poll() {
    syncDevice(hubPlugged_, hubState_, hub_);
    syncDevice(hub2Plugged_, hub2State_, hub2_);
    syncDevice(decoyPlugged_, decoyState_, decoy_);
    images_->setText(QString::number(hub_.imagesApplied()));
    Version typed{};
    versionNote_->setText(ParseVersion(version_->currentText(), typed)
                              ? QStringLiteral("Reports %1; a complete update brings %2.")
                                    .arg(hexVersion(hub_.version()), hexVersion(newVersion_))
                              : QStringLiteral("Type 8 hex digits."));
    // While paused nothing is taken, so the entries appear when resumed.
    if (pause_->isChecked())
        return;

    const Trace snapshot = bus_.trace();
    const auto& entries = snapshot.entries();
    std::size_t sameTime = 0;
    QStringList lines;
    for (const TraceEntry& e : entries) {
        if (e.time < lastTime_)
            continue;
        if (e.time == lastTime_) {
            if (++sameTime <= seenAtLastTime_)
                continue;
            seenAtLastTime_ = sameTime;
        } else {
            lastTime_ = e.time;
            sameTime = seenAtLastTime_ = 1;
        }
        if (e.kind == TraceKind::FaultFired)
            faultState_->setText(QStringLiteral("Fired: ") + QString::fromStdString(e.text) +
                                 QStringLiteral(". \"Arm again\" for another update."));
        lines << FormatTraceEntry(e, origin_);
    }
    if (!lines.isEmpty()) {
        QScrollBar* bar = trace_->verticalScrollBar();
        const bool atEnd = bar->value() == bar->maximum();
        for (const QString& l : lines)
            trace_->appendPlainText(l);
        framesShown_ += static_cast<std::size_t>(lines.size());
        if (atEnd)
            bar->setValue(bar->maximum());
    }
    traceCount_->setText(QStringLiteral("%1 entries").arg(framesShown_));
}

} // namespace demo
