#include "tests/support/XDesktop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace tarnwell::test {

namespace {

template <typename T>
using TReply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
TReply<T> Reply(T* reply) {
  return TReply<T>(reply, &std::free);
}

void WaitFor(const std::function<bool()>& done, const std::string& what, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) throw std::runtime_error(what);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// The bytes of a property of the window; empty when it has none.
std::string Property(xcb_connection_t* connection, uint32_t window, xcb_atom_t property,
                     xcb_atom_t type) {
  auto reply = Reply(xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, window, property, type, 0, 1024), nullptr));
  if (!reply) return std::string();
  return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                     static_cast<size_t>(xcb_get_property_value_length(reply.get())));
}

xcb_atom_t Atom(xcb_connection_t* connection, const std::string& name) {
  auto reply = Reply(xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.c_str()),
      nullptr));
  if (!reply) throw std::runtime_error("the X server does not know the atom " + name);
  return reply->atom;
}

std::vector<std::string> WmClass(xcb_connection_t* connection, uint32_t window) {
  const std::string data = Property(connection, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
  std::vector<std::string> names;
  std::string name;
  for (const char c : data) {
    if (c == '\0') {
      names.push_back(name);
      name.clear();
    } else {
      name += c;
    }
  }
  if (!name.empty()) names.push_back(name);
  return names;
}

bool Viewable(xcb_connection_t* connection, uint32_t window) {
  auto reply = Reply(xcb_get_window_attributes_reply(
      connection, xcb_get_window_attributes(connection, window), nullptr));
  return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

bool HasClass(xcb_connection_t* connection, uint32_t window, const std::string& wmClass) {
  for (const std::string& name : WmClass(connection, window))
    if (name == wmClass) return true;
  return false;
}

// The windows of the class `wmClass` under `window`, each with whether a trayer window lies
// above it. The windows inside one of them are its parts (a toolkit's native child windows carry
// its class too), not windows of their own.
void Walk(xcb_connection_t* connection, uint32_t window, const std::string& wmClass, bool inTray,
          std::vector<std::pair<uint32_t, bool>>& found) {
  auto tree = Reply(xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
  if (!tree) return;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  for (int i = 0; i < count; ++i) {
    if (HasClass(connection, children[i], wmClass))
      found.emplace_back(children[i], inTray);
    else
      Walk(connection, children[i], wmClass, inTray || HasClass(connection, children[i], "trayer"),
           found);
  }
}

void RunXdotool(const std::vector<std::string>& args) {
  std::vector<std::string> argv{FindProgram("xdotool")};
  argv.insert(argv.end(), args.begin(), args.end());
  if (RunProgram(argv) != 0) throw std::runtime_error("xdotool failed: " + args.front());
}

// Qt, like other toolkits, takes a press of the same button within its double-click time (400
// ms) of the last press for the second half of a double click, and hands it to the widget as a
// double click alone; the tray icon, which acts on double clicks of the left button only, then
// sees nothing of a second right click. A user's separate clicks come farther apart.
constexpr auto kDoubleClickTime = std::chrono::milliseconds(500);

// What marks the pings of a test's desktop.
constexpr uint32_t kPingMark = 0x7a77;

}  // namespace

TXDesktop::TXDesktop(const std::string& logFolder) : logFolder_(logFolder) {
  // Xvfb picks a free display number itself and writes it to the pipe once it listens, so two
  // tests starting at once never share a display.
  int numberPipe[2];
  if (::pipe(numberPipe) != 0) throw std::runtime_error("pipe failed");
  ::fcntl(numberPipe[0], F_SETFD, FD_CLOEXEC);
  server_ = std::make_unique<TChildProcess>(
      std::vector<std::string>{FindProgram("Xvfb"), "-displayfd", std::to_string(numberPipe[1]),
                               "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"},
      logFolder + "/Xvfb.log");
  ::close(numberPipe[1]);
  std::string number;
  pollfd wait{numberPipe[0], POLLIN, 0};
  while (number.empty() || number.back() != '\n') {
    char c = 0;
    if (::poll(&wait, 1, kWaitMs) <= 0 || ::read(numberPipe[0], &c, 1) != 1) {
      ::close(numberPipe[0]);
      throw std::runtime_error("Xvfb did not start:\n" + ReadFileText(logFolder + "/Xvfb.log"));
    }
    number += c;
  }
  ::close(numberPipe[0]);
  number.pop_back();
  display_ = ":" + number;
  connection_ = {xcb_connect(display_.c_str(), nullptr), &xcb_disconnect};
  if (xcb_connection_has_error(connection_.get()))
    throw std::runtime_error("Xvfb does not answer on " + display_);
  root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_.get())).data->root;
  displayVariable_ = std::make_unique<TEnvironmentVariable>("DISPLAY", display_);

  // A window mapped while openbox starts can stay unmapped and unmanaged (trayer's panel did
  // now and then), so the panel waits for the command openbox runs once it has started.
  const std::string started = logFolder + "/openbox.started";
  windowManager_ = std::make_unique<TChildProcess>(
      std::vector<std::string>{FindProgram("openbox"), "--sm-disable", "--startup",
                               FindProgram("touch") + " '" + started + "'"},
      logFolder + "/openbox.log", std::vector<std::string>{"DISPLAY=" + display_});
  WaitFor(
      [&] {
        if (!windowManager_->Running())
          throw std::runtime_error("openbox ended:\n" + ReadFileText(logFolder + "/openbox.log"));
        return FileExists(started);
      },
      "openbox did not start", kWaitMs);
  StartTray();
}

void TXDesktop::StartTray() {
  tray_ = std::make_unique<TChildProcess>(
      std::vector<std::string>{FindProgram("trayer"), "--edge", "bottom", "--align", "right",
                               "--widthtype", "request", "--height", "24", "--SetDockType", "true",
                               "--SetPartialStrut", "true", "--transparent", "false", "--tint",
                               "0x404040"},
      logFolder_ + "/trayer.log", std::vector<std::string>{"DISPLAY=" + display_});
  // The tray takes icons once its window is up.
  WaitFor(
      [&] {
        if (!tray_->Running())
          throw std::runtime_error("trayer ended:\n" + ReadFileText(logFolder_ + "/trayer.log"));
        return !Windows("trayer", false).empty();
      },
      "trayer did not show its panel", kWaitMs);
}

void TXDesktop::RestartTray() {
  tray_.reset();
  WaitFor([&] { return Windows("trayer", false).empty(); }, "trayer did not end", kWaitMs);
  StartTray();
}

TXDesktop::~TXDesktop() {
  tray_.reset();
  windowManager_.reset();
  connection_.reset();
  server_.reset();
}

std::vector<uint32_t> TXDesktop::Windows(const std::string& wmClass, bool inTray) {
  std::vector<std::pair<uint32_t, bool>> all;
  Walk(connection_.get(), root_, wmClass, false, all);
  std::vector<uint32_t> windows;
  for (const auto& [window, underTray] : all)
    if (underTray == inTray && Viewable(connection_.get(), window)) windows.push_back(window);
  return windows;
}

uint32_t TXDesktop::DockedIcon(const std::string& wmClass) {
  // The tray lays an icon out after it shows it, and a program may dock its icon twice when the
  // tray is new: an icon seen at once can be somewhere else a moment later (now and then a
  // click right after the tray restarted hit nothing). So the icon is taken once it has stayed
  // the same window in the same place for a while.
  constexpr auto kStill = std::chrono::milliseconds(300);
  uint32_t icon = 0;
  TGeometry place;
  auto since = std::chrono::steady_clock::now();
  WaitFor(
      [&] {
        const std::vector<uint32_t> icons = Windows(wmClass, true);
        TGeometry now;
        try {
          if (icons.size() == 1) now = Geometry(icons.front());
        } catch (const std::runtime_error&) {
        }
        const uint32_t found = icons.size() == 1 ? icons.front() : 0;
        if (found == 0 || found != icon || !(now == place)) {
          icon = found;
          place = now;
          since = std::chrono::steady_clock::now();
          return false;
        }
        return std::chrono::steady_clock::now() - since >= kStill;
      },
      "no window of " + wmClass + " stayed in the tray", kWaitMs);
  return icon;
}

TXDesktop::TGeometry TXDesktop::Geometry(uint32_t window) {
  auto geometry = Reply(xcb_get_geometry_reply(
      connection_.get(), xcb_get_geometry(connection_.get(), window), nullptr));
  auto place = Reply(xcb_translate_coordinates_reply(
      connection_.get(), xcb_translate_coordinates(connection_.get(), window, root_, 0, 0),
      nullptr));
  if (!geometry || !place) throw std::runtime_error("the window is gone");
  return {place->dst_x, place->dst_y, geometry->width, geometry->height};
}

std::string TXDesktop::ScreenPixels(const TGeometry& area) {
  auto image = Reply(xcb_get_image_reply(
      connection_.get(),
      xcb_get_image(connection_.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, root_,
                    static_cast<int16_t>(area.X), static_cast<int16_t>(area.Y),
                    static_cast<uint16_t>(area.Width), static_cast<uint16_t>(area.Height), ~0u),
      nullptr));
  if (!image) throw std::runtime_error("the screen could not be read");
  return std::string(reinterpret_cast<const char*>(xcb_get_image_data(image.get())),
                     static_cast<size_t>(xcb_get_image_data_length(image.get())));
}

std::string TXDesktop::Pixels(uint32_t window) { return ScreenPixels(Geometry(window)); }

std::string TXDesktop::Title(uint32_t window) {
  xcb_connection_t* connection = connection_.get();
  const std::string title = Property(connection, window, Atom(connection, "_NET_WM_NAME"),
                                     Atom(connection, "UTF8_STRING"));
  return title.empty() ? Property(connection, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING) : title;
}

void TXDesktop::Click(uint32_t window, int button) {
  if (button == lastButton_) std::this_thread::sleep_until(lastClick_ + kDoubleClickTime);
  const TGeometry at = Geometry(window);
  RunXdotool({"mousemove", std::to_string(at.X + at.Width / 2),
              std::to_string(at.Y + at.Height / 2), "click", std::to_string(button)});
  // xdotool ends once the X server has taken the press and the release.
  lastButton_ = button;
  lastClick_ = std::chrono::steady_clock::now();
}

void TXDesktop::Activate(uint32_t window) {
  RunXdotool({"windowactivate", "--sync", std::to_string(window)});
}

void TXDesktop::Close(uint32_t window) {
  Activate(window);
  Keys({"alt+F4"});
  Settle(window);
}

void TXDesktop::Settle(uint32_t window) {
  // A connection of its own hears the answers; the requests go out once it listens.
  const TConnection watch{xcb_connect(display_.c_str(), nullptr), &xcb_disconnect};
  if (xcb_connection_has_error(watch.get())) throw std::runtime_error("Xvfb does not answer");
  const uint32_t windowEvents = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  xcb_change_window_attributes(watch.get(), window, XCB_CW_EVENT_MASK, &windowEvents);
  // Qt sends its answer to a ping with the structure mask, the standard names the substructure
  // mask.
  const uint32_t rootEvents = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(watch.get(), root_, XCB_CW_EVENT_MASK, &rootEvents);
  const xcb_atom_t protocols = Atom(watch.get(), "WM_PROTOCOLS");
  const xcb_atom_t ping = Atom(watch.get(), "_NET_WM_PING");
  if (!Viewable(watch.get(), window)) return;
  // Waits for the event `answer` takes, or for the window to go: then there is no one left to
  // answer for it. False when it went.
  const auto waitFor = [&](const std::function<bool(const xcb_generic_event_t&)>& answer,
                           const std::string& what) {
    bool gone = false;
    WaitFor(
        [&] {
          while (const TReply<xcb_generic_event_t> event = Reply(xcb_poll_for_event(watch.get()))) {
            const uint8_t type = event->response_type & 0x7f;
            // An error: the window no longer exists.
            gone = type == 0 ||
                   (type == XCB_UNMAP_NOTIFY &&
                    reinterpret_cast<const xcb_unmap_notify_event_t*>(event.get())->window ==
                        window) ||
                   (type == XCB_DESTROY_NOTIFY &&
                    reinterpret_cast<const xcb_destroy_notify_event_t*>(event.get())->window ==
                        window);
            if (gone || answer(*event)) return true;
          }
          return false;
        },
        what, kWaitMs);
    return !gone;
  };
  // The window manager answers a request that changes nothing of a window it manages with a
  // synthetic ConfigureNotify (ICCCM 4.1.5), once it has handled the events before it.
  const uint32_t border = 0;
  xcb_configure_window(watch.get(), window, XCB_CONFIG_WINDOW_BORDER_WIDTH, &border);
  xcb_flush(watch.get());
  if (!waitFor(
          [&](const xcb_generic_event_t& event) {
            return event.response_type == (XCB_CONFIGURE_NOTIFY | 0x80) &&
                   reinterpret_cast<const xcb_configure_notify_event_t&>(event).window == window;
          },
          "the window manager did not answer"))
    return;
  // The program answers a ping (_NET_WM_PING) to the root window once it has read what the
  // window manager sent it before, and sends all of it back: a field the standard leaves free
  // carries a mark that tells the answer from those to the window manager's pings.
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = protocols;
  message.data.data32[0] = ping;
  message.data.data32[1] = XCB_CURRENT_TIME;
  message.data.data32[2] = window;
  message.data.data32[3] = kPingMark;
  xcb_send_event(watch.get(), 0, window, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(watch.get());
  waitFor(
      [&](const xcb_generic_event_t& event) {
        if ((event.response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
        const auto& answer = reinterpret_cast<const xcb_client_message_event_t&>(event);
        return answer.format == 32 && answer.data.data32[0] == ping &&
               answer.data.data32[2] == window && answer.data.data32[3] == kPingMark;
      },
      "the window's program did not answer a ping");
}

TXDesktop::TGeometry TXDesktop::Screen() { return Geometry(root_); }

void TXDesktop::Keys(const std::vector<std::string>& keys) {
  std::vector<std::string> args{"key", "--delay", "50"};
  args.insert(args.end(), keys.begin(), keys.end());
  RunXdotool(args);
}

}  // namespace tarnwell::test
