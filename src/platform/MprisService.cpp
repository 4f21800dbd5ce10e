// The MPRIS object as a QDBusVirtualObject: it answers the two interfaces' methods and the
// standard Properties and Introspectable interfaces itself, from plain QVariant values, so no
// generated adaptor is needed. Method calls are answered first and then run, so a command that
// opens a dialog never keeps the caller waiting.
#include "platform/MprisService.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <limits>
#include <optional>

#include "app/TQVRDM.h"

namespace qvr {

namespace {

const QString kService = QStringLiteral("org.mpris.MediaPlayer2.qvr");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kIntrospectable = QStringLiteral("org.freedesktop.DBus.Introspectable");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

const char* const kIntrospection = R"(  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="DesktopEntry" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek"><arg name="Offset" type="x" direction="in"/></method>
    <method name="SetPosition">
      <arg name="TrackId" type="o" direction="in"/><arg name="Position" type="x" direction="in"/>
    </method>
    <method name="OpenUri"><arg name="Uri" type="s" direction="in"/></method>
    <signal name="Seeked"><arg name="Position" type="x"/></signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="LoopStatus" type="s" access="readwrite"/>
    <property name="Rate" type="d" access="read"/>
    <property name="Shuffle" type="b" access="readwrite"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Volume" type="d" access="read"/>
    <property name="Position" type="x" access="read"/>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="CanControl" type="b" access="read"/>
  </interface>
)";

QString Text(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

QDBusObjectPath TrackId(const NowPlaying& now) {
  if (now.track == NowPlaying::kNoTrack) return QDBusObjectPath(kNoTrack);
  return QDBusObjectPath(QStringLiteral("/org/qvr/Disc_%1/Track_%2").arg(Text(now.disc_key)).arg(now.track));
}

QVariantMap Metadata(const NowPlaying& now) {
  QVariantMap metadata;
  metadata.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(TrackId(now)));
  if (now.track == NowPlaying::kNoTrack) return metadata;
  metadata.insert(QStringLiteral("mpris:length"), qlonglong{now.length_ms} * 1000);
  metadata.insert(QStringLiteral("xesam:trackNumber"), now.track);
  metadata.insert(QStringLiteral("xesam:title"),
                  now.title.empty() ? QStringLiteral("トラック %1").arg(now.track) : Text(now.title));
  if (!now.album.empty()) metadata.insert(QStringLiteral("xesam:album"), Text(now.album));
  if (!now.artist.empty()) metadata.insert(QStringLiteral("xesam:artist"), QStringList{Text(now.artist)});
  if (!now.jacket.empty() && QFileInfo(Text(now.jacket)).isFile()) {
    metadata.insert(QStringLiteral("mpris:artUrl"),
                    QUrl::fromLocalFile(QFileInfo(Text(now.jacket)).absoluteFilePath()).toString());
  }
  return metadata;
}

QString Status(NowPlaying::Status status) {
  switch (status) {
    case NowPlaying::Status::Playing: return QStringLiteral("Playing");
    case NowPlaying::Status::Paused: return QStringLiteral("Paused");
    case NowPlaying::Status::Stopped: break;
  }
  return QStringLiteral("Stopped");
}

QVariantMap RootProperties() {
  return {{QStringLiteral("CanQuit"), true},
          {QStringLiteral("CanRaise"), false},
          {QStringLiteral("HasTrackList"), false},
          {QStringLiteral("Identity"), QStringLiteral("QVR")},
          {QStringLiteral("DesktopEntry"), QStringLiteral("io.github.qvrproject.qvr")},
          {QStringLiteral("SupportedUriSchemes"), QStringList{QStringLiteral("file")}},
          {QStringLiteral("SupportedMimeTypes"),
           QStringList{QStringLiteral("application/x-cue"), QStringLiteral("application/x-cdrdao-toc"),
                       QStringLiteral("x-content/audio-cdda")}}};
}

// The player's properties except Position, which changes all the time and is never announced.
QVariantMap PlayerProperties(const MprisPicture& picture) {
  const NowPlaying& now = picture.now;
  const QString loop = picture.repeat_one   ? QStringLiteral("Track")
                       : picture.repeat_all ? QStringLiteral("Playlist")
                                            : QStringLiteral("None");
  return {{QStringLiteral("PlaybackStatus"), Status(now.status)},
          {QStringLiteral("LoopStatus"), loop},
          {QStringLiteral("Rate"), 1.0},
          {QStringLiteral("Shuffle"), picture.random},
          {QStringLiteral("Metadata"), Metadata(now)},
          {QStringLiteral("Volume"), 1.0},
          {QStringLiteral("MinimumRate"), 1.0},
          {QStringLiteral("MaximumRate"), 1.0},
          {QStringLiteral("CanGoNext"), picture.can_next},
          {QStringLiteral("CanGoPrevious"), picture.can_previous},
          {QStringLiteral("CanPlay"), now.can_play || now.status == NowPlaying::Status::Paused},
          {QStringLiteral("CanPause"), picture.can_pause},
          {QStringLiteral("CanSeek"), now.status != NowPlaying::Status::Stopped && now.track != NowPlaying::kNoTrack},
          {QStringLiteral("CanControl"), true}};
}

}  // namespace

class MprisObject : public QDBusVirtualObject {
 public:
  explicit MprisObject(MprisService& service) : service_(service) {}

  QString introspect(const QString& path) const override {
    return path == kPath ? QString::fromUtf8(kIntrospection) : QString();
  }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.path() != kPath) return false;
    const QString interface = message.interface();
    const QString member = message.member();
    const QVariantList arguments = message.arguments();
    QDBusConnection bus(connection);
    if (interface == kProperties) return HandleProperties(message, bus, member, arguments);
    if (interface == kIntrospectable) return false;  // answered from introspect()
    if (interface == kRoot ||
        (interface.isEmpty() && (member == QLatin1String("Quit") || member == QLatin1String("Raise")))) {
      if (member == QLatin1String("Raise")) return Reply(bus, message);
      if (member == QLatin1String("Quit")) {
        Reply(bus, message);
        // Ending is always possible, also while the program starts.
        service_.link_.Run([](TQVRDM& dm) { dm.ExitMNUClick(); });
        return true;
      }
      return false;
    }
    if (interface != kPlayer && !interface.isEmpty()) return false;
    return HandlePlayer(message, bus, member, arguments);
  }

  // Announces the properties that differ from the last announcement.
  void Announce(QDBusConnection& bus, const MprisPicture& picture) {
    QVariantMap current = PlayerProperties(picture);
    QVariantMap changed;
    for (auto it = current.cbegin(); it != current.cend(); ++it) {
      if (!announced_.contains(it.key()) || announced_.value(it.key()) != it.value())
        changed.insert(it.key(), it.value());
    }
    const bool first = announced_.isEmpty();
    announced_ = std::move(current);
    if (first || changed.isEmpty()) return;
    QDBusMessage signal = QDBusMessage::createSignal(kPath, kProperties, QStringLiteral("PropertiesChanged"));
    signal << kPlayer << changed << QStringList();
    bus.send(signal);
  }

 private:
  // The bus is there from the program's first moments (a start-up box may be up), but its
  // commands wait for the start-up sequence to end, like the tray menu.
  template <class Call>
  void Command(Call&& call) {
    service_.link_.Run([&call](TQVRDM& dm) {  // announces what changed after it
      if (dm.DialogState != kStartingUp) call(dm);
    });
  }
  static constexpr std::uint8_t kStartingUp = 1;

  static bool Reply(QDBusConnection& bus, const QDBusMessage& message, const QVariantList& values = {}) {
    QDBusMessage reply = message.createReply(values);
    bus.send(reply);
    return true;
  }
  static bool Fail(QDBusConnection& bus, const QDBusMessage& message, QDBusError::ErrorType type, const QString& text) {
    bus.send(message.createErrorReply(type, text));
    return true;
  }

  bool HandleProperties(const QDBusMessage& message, QDBusConnection& bus, const QString& member,
                        const QVariantList& arguments) {
    const QString interface = arguments.value(0).toString();
    auto properties = [&]() -> std::optional<QVariantMap> {
      if (interface == kRoot) return RootProperties();
      if (interface == kPlayer) {
        const MprisPicture picture = service_.Read();
        QVariantMap values = PlayerProperties(picture);
        values.insert(QStringLiteral("Position"), qlonglong{picture.now.position_ms} * 1000);
        return values;
      }
      return std::nullopt;
    };
    if (member == QLatin1String("GetAll")) {
      std::optional<QVariantMap> values = properties();
      if (!values) return Fail(bus, message, QDBusError::InvalidArgs, QStringLiteral("No such interface"));
      return Reply(bus, message, {QVariant::fromValue(*values)});
    }
    if (member == QLatin1String("Get")) {
      std::optional<QVariantMap> values = properties();
      const QString name = arguments.value(1).toString();
      if (!values || !values->contains(name)) {
        return Fail(bus, message, QDBusError::InvalidArgs, QStringLiteral("No such property"));
      }
      return Reply(bus, message, {QVariant::fromValue(QDBusVariant(values->value(name)))});
    }
    if (member == QLatin1String("Set")) {
      // The play modes, as their pad buttons switch them: Track = repeat one, Playlist =
      // repeat all, Shuffle = random.
      const QString name = arguments.value(1).toString();
      const QVariant value = arguments.value(2).value<QDBusVariant>().variant();
      const MprisPicture picture = service_.Read();
      if (interface == kPlayer && name == QLatin1String("LoopStatus")) {
        const QString loop = value.toString();
        if (loop != QLatin1String("None") && loop != QLatin1String("Track") && loop != QLatin1String("Playlist")) {
          return Fail(bus, message, QDBusError::InvalidArgs, QStringLiteral("LoopStatus is None, Track or Playlist"));
        }
        Reply(bus, message);
        // The modes exclude each other: switching one on switches the others off.
        const bool one = loop == QLatin1String("Track"), all = loop == QLatin1String("Playlist");
        if ((one && !picture.repeat_one) || (!one && !all && picture.repeat_one)) {
          Command([](TQVRDM& dm) { dm.RepeatOneMNUClick(); });
        } else if ((all && !picture.repeat_all) || (!one && !all && picture.repeat_all)) {
          Command([](TQVRDM& dm) { dm.RepeatAllMNUClick(); });
        }
        return true;
      }
      if (interface == kPlayer && name == QLatin1String("Shuffle")) {
        if (value.typeId() != QMetaType::Bool) {
          return Fail(bus, message, QDBusError::InvalidArgs, QStringLiteral("Shuffle is a boolean"));
        }
        Reply(bus, message);
        if (value.toBool() != picture.random) Command([](TQVRDM& dm) { dm.RandomMNUClick(); });
        return true;
      }
      return Fail(bus, message, QDBusError::PropertyReadOnly, QStringLiteral("The property is read-only"));
    }
    return false;
  }

  bool HandlePlayer(const QDBusMessage& message, QDBusConnection& bus, const QString& member,
                    const QVariantList& arguments) {
    using Status = NowPlaying::Status;
    if (member == QLatin1String("Seek") || member == QLatin1String("SetPosition")) {
      const bool relative = member == QLatin1String("Seek");
      const MprisPicture picture = service_.Read();
      const NowPlaying& now = picture.now;
      qlonglong target = 0;
      if (relative) {
        // Any offset the bus can carry, saturated: a huge one lands past the track's end, a
        // hugely negative one at its start.
        const qlonglong offset = arguments.value(0).toLongLong();
        if (__builtin_add_overflow(qlonglong{now.position_ms} * 1000, offset, &target)) {
          target = offset > 0 ? std::numeric_limits<qlonglong>::max() : std::numeric_limits<qlonglong>::min();
        }
      } else {
        // A position for another track than the one heard is ignored, as the interface asks.
        if (arguments.value(0).value<QDBusObjectPath>().path() != TrackId(now).path()) return Reply(bus, message);
        target = arguments.value(1).toLongLong();
        if (target < 0) return Reply(bus, message);
      }
      Reply(bus, message);
      if (now.status == Status::Stopped || now.track == NowPlaying::kNoTrack) return true;
      if (target >= qlonglong{now.length_ms} * 1000) {
        // Past the track's end: on to the next track, as the interface asks of Seek.
        if (relative && picture.can_next) Command([](TQVRDM& dm) { dm.NextMNUClick(); });
        return true;
      }
      bool moved = false;
      const auto milliseconds = static_cast<std::uint32_t>(std::max<qlonglong>(target, 0) / 1000);
      Command([&](TQVRDM& dm) { moved = dm.SeekTo(milliseconds); });
      if (moved) {
        QDBusMessage seeked = QDBusMessage::createSignal(kPath, kPlayer, QStringLiteral("Seeked"));
        seeked << qlonglong{service_.Read().now.position_ms} * 1000;
        bus.send(seeked);
      }
      return true;
    }
    if (member == QLatin1String("OpenUri")) {
      const QUrl url(arguments.value(0).toString());
      if (!url.isLocalFile()) return Fail(bus, message, QDBusError::NotSupported, QStringLiteral("Only file URIs"));
      Reply(bus, message);
      service_.open_(url.toLocalFile().toStdString());
      return true;
    }
    const MprisPicture picture = service_.Read();
    const Status status = picture.now.status;
    if (member == QLatin1String("Play")) {
      Reply(bus, message);
      if (status == Status::Paused) Command([](TQVRDM& dm) { dm.PauseMNUClick(); });
      if (status == Status::Stopped && picture.now.can_play) Command([](TQVRDM& dm) { dm.PlayMNUClick(); });
      return true;
    }
    if (member == QLatin1String("Pause")) {
      Reply(bus, message);
      if (status == Status::Playing && picture.can_pause) Command([](TQVRDM& dm) { dm.PauseMNUClick(); });
      return true;
    }
    if (member == QLatin1String("PlayPause")) {
      Reply(bus, message);
      if (status == Status::Stopped) {
        if (picture.now.can_play) Command([](TQVRDM& dm) { dm.PlayMNUClick(); });
      } else if (picture.can_pause) {
        Command([](TQVRDM& dm) { dm.PauseMNUClick(); });
      }
      return true;
    }
    if (member == QLatin1String("Stop")) {
      Reply(bus, message);
      if (status != Status::Stopped) Command([](TQVRDM& dm) { dm.StopMNUClick(); });
      return true;
    }
    if (member == QLatin1String("Next")) {
      Reply(bus, message);
      if (picture.can_next) Command([](TQVRDM& dm) { dm.NextMNUClick(); });
      return true;
    }
    if (member == QLatin1String("Previous")) {
      Reply(bus, message);
      if (picture.can_previous) Command([](TQVRDM& dm) { dm.PreviousMNUClick(); });
      return true;
    }
    return false;
  }

  MprisService& service_;
  QVariantMap announced_;
};

MprisService::MprisService(ControllerLink& link, std::function<void(const std::string&)> open)
    : link_(link), open_(std::move(open)), bus_(QDBusConnection::sessionBus()) {
  if (!bus_.isConnected()) return;
  object_ = std::make_unique<MprisObject>(*this);
  if (!bus_.registerVirtualObject(kPath, object_.get(), QDBusConnection::SingleNode)) return;
  if (!bus_.registerService(kService)) {
    bus_.unregisterObject(kPath);
    return;
  }
  published_ = true;
  link_.AfterRun = [this] { Refresh(); };
  Refresh();
}

MprisService::~MprisService() {
  if (!published_) return;
  link_.AfterRun = nullptr;
  bus_.unregisterService(kService);
  bus_.unregisterObject(kPath);
}

MprisPicture MprisService::Read() {
  MprisPicture picture;
  link_.Run([&picture](TQVRDM& dm) {
    picture.now = dm.NowPlayingSnapshot();
    const TQVRMenu& menu = dm.QVRMenu;
    picture.can_next = menu.Enabled(MenuItemId::NextMNU);
    picture.can_previous = menu.Enabled(MenuItemId::PreviousMNU);
    picture.can_pause = menu.Enabled(MenuItemId::PauseMNU);
    picture.repeat_one = menu.Checked(MenuItemId::RepeatOneMNU);
    picture.repeat_all = menu.Checked(MenuItemId::RepeatAllMNU);
    picture.random = menu.Checked(MenuItemId::RandomMNU);
  });
  return picture;
}

void MprisService::Refresh() {
  if (!published_) return;
  object_->Announce(bus_, Read());
}

}  // namespace qvr
