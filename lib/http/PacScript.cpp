#include "lib/http/PacScript.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <sys/socket.h>

#include <chrono>
#include <cstring>
#include <mutex>

#include "duktape.h"
#include "platform/foundation/Resetters.h"

namespace http {
namespace {

// The engine asks the guard now and then while it runs: true stops the script.
struct HeapData : quenta_duk_guard {
    std::chrono::steady_clock::time_point deadline;
    bool timedOut = false;

    HeapData() { expired = &HeapData::check; }
    static int check(quenta_duk_guard* g) {
        auto* data = static_cast<HeapData*>(g);
        if (std::chrono::steady_clock::now() >= data->deadline) data->timedOut = true;
        return data->timedOut ? 1 : 0;
    }
};

std::mutex& hooksMutex() {
    static std::mutex* m = new std::mutex();
    return *m;
}
PacScript::Resolver& resolverHook() {
    static auto* r = new PacScript::Resolver();
    return *r;
}
std::function<std::string()>& myIpHook() {
    static auto* f = new std::function<std::string()>();
    return *f;
}
[[maybe_unused]] const bool registered = (foundation::registerResetter("http.pacHooks", foundation::ResetPhase::Service,
                                                                       [] {
                                                                           PacScript::setResolver(nullptr);
                                                                           PacScript::setMyIpAddress(nullptr);
                                                                       }),
                                          true);

std::optional<std::string> systemResolve(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res) return std::nullopt;
    char buf[INET_ADDRSTRLEN] = {0};
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr, buf, sizeof buf);
    freeaddrinfo(res);
    return std::string(buf);
}

std::string systemMyIp() {
    ifaddrs* list = nullptr;
    std::string found = "127.0.0.1";
    if (getifaddrs(&list) != 0) return found;
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
        if ((i->ifa_flags & IFF_LOOPBACK) || !(i->ifa_flags & IFF_UP)) continue;
        char buf[INET_ADDRSTRLEN] = {0};
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr, buf, sizeof buf);
        found = buf;
        break;
    }
    freeifaddrs(list);
    return found;
}

std::optional<std::string> resolve(const std::string& host) {
    PacScript::Resolver r;
    {
        std::lock_guard<std::mutex> lock(hooksMutex());
        r = resolverHook();
    }
    return r ? r(host) : systemResolve(host);
}

duk_ret_t nativeDnsResolve(duk_context* ctx) {
    std::string host = duk_safe_to_string(ctx, 0);
    auto address = resolve(host);
    if (address)
        duk_push_string(ctx, address->c_str());
    else
        duk_push_null(ctx);
    return 1;
}

duk_ret_t nativeMyIpAddress(duk_context* ctx) {
    std::function<std::string()> f;
    {
        std::lock_guard<std::mutex> lock(hooksMutex());
        f = myIpHook();
    }
    duk_push_string(ctx, (f ? f() : systemMyIp()).c_str());
    return 1;
}

duk_ret_t nativeAlert(duk_context*) { return 0; }

// The helper functions every PAC script may call.
const char* kHelpers = R"JS(
function dnsDomainIs(host, domain) {
  host = String(host); domain = String(domain);
  return host.length >= domain.length && host.substring(host.length - domain.length) == domain;
}
function dnsDomainLevels(host) { return String(host).split('.').length - 1; }
function isPlainHostName(host) { return String(host).indexOf('.') < 0; }
function localHostOrDomainIs(host, hostdom) {
  host = String(host); hostdom = String(hostdom);
  return host == hostdom || hostdom.lastIndexOf(host + '.', 0) == 0;
}
function isResolvable(host) { return dnsResolve(host) !== null; }
function convert_addr(ipchars) {
  var b = String(ipchars).split('.');
  return (((b[0] & 0xff) << 24) | ((b[1] & 0xff) << 16) | ((b[2] & 0xff) << 8) | (b[3] & 0xff)) >>> 0;
}
function __isIPv4(text) {
  var m = /^(\d{1,3})\.(\d{1,3})\.(\d{1,3})\.(\d{1,3})$/.exec(String(text));
  return m !== null && m[1] <= 255 && m[2] <= 255 && m[3] <= 255 && m[4] <= 255;
}
function isInNet(ipaddr, pattern, maskstr) {
  if (!__isIPv4(ipaddr)) { ipaddr = dnsResolve(ipaddr); if (ipaddr === null) return false; }
  if (!__isIPv4(pattern) || !__isIPv4(maskstr)) return false;
  var mask = convert_addr(maskstr);
  return ((convert_addr(ipaddr) & mask) >>> 0) == ((convert_addr(pattern) & mask) >>> 0);
}
function shExpMatch(text, pattern) {
  var re = String(pattern).replace(/[.+^${}()|[\]\\]/g, '\\$&').replace(/\*/g, '.*').replace(/\?/g, '.');
  return new RegExp('^' + re + '$').test(String(text));
}
var __days = ['SUN', 'MON', 'TUE', 'WED', 'THU', 'FRI', 'SAT'];
var __months = ['JAN', 'FEB', 'MAR', 'APR', 'MAY', 'JUN', 'JUL', 'AUG', 'SEP', 'OCT', 'NOV', 'DEC'];
function __args(list) {
  var a = Array.prototype.slice.call(list), gmt = false;
  if (a.length > 0 && String(a[a.length - 1]).toUpperCase() == 'GMT') { gmt = true; a.pop(); }
  var d = new Date();
  var now = gmt ? { day: d.getUTCDay(), date: d.getUTCDate(), month: d.getUTCMonth(), year: d.getUTCFullYear(),
                    secs: d.getUTCHours() * 3600 + d.getUTCMinutes() * 60 + d.getUTCSeconds() }
                : { day: d.getDay(), date: d.getDate(), month: d.getMonth(), year: d.getFullYear(),
                    secs: d.getHours() * 3600 + d.getMinutes() * 60 + d.getSeconds() };
  return { a: a, now: now };
}
function __inRange(v, lo, hi) { return lo <= hi ? (v >= lo && v <= hi) : (v >= lo || v <= hi); }
function weekdayRange() {
  var p = __args(arguments);
  if (p.a.length < 1 || p.a.length > 2) return false;
  var w1 = __days.indexOf(String(p.a[0]).toUpperCase());
  var w2 = p.a.length == 2 ? __days.indexOf(String(p.a[1]).toUpperCase()) : w1;
  if (w1 < 0 || w2 < 0) return false;
  return __inRange(p.now.day, w1, w2);
}
function timeRange() {
  var p = __args(arguments), a = p.a, n = a.length, lo, hi;
  for (var i = 0; i < n; i++) a[i] = Number(a[i]);
  if (n == 1) return Math.floor(p.now.secs / 3600) == a[0];
  if (n == 2) { lo = a[0] * 3600; hi = a[1] * 3600; }
  else if (n == 4) { lo = a[0] * 3600 + a[1] * 60; hi = a[2] * 3600 + a[3] * 60; }
  else if (n == 6) { lo = a[0] * 3600 + a[1] * 60 + a[2]; hi = a[3] * 3600 + a[4] * 60 + a[5]; }
  else return false;
  return lo <= hi ? (p.now.secs >= lo && p.now.secs < hi) : (p.now.secs >= lo || p.now.secs < hi);
}
function dateRange() {
  var p = __args(arguments), a = p.a, n = a.length;
  if (n < 1 || n > 6 || (n > 1 && n % 2 == 1)) return false;
  function part(v) {
    var m = __months.indexOf(String(v).toUpperCase());
    if (m >= 0) return { k: 'm', v: m };
    v = Number(v);
    if (isNaN(v)) return null;
    return v > 31 ? { k: 'y', v: v } : { k: 'd', v: v };
  }
  var parts = [];
  for (var i = 0; i < n; i++) { var q = part(a[i]); if (q === null) return false; parts.push(q); }
  function value(list, now) {
    var d = null, m = null, y = null;
    for (var i = 0; i < list.length; i++) {
      if (list[i].k == 'd') d = now ? p.now.date : list[i].v;
      if (list[i].k == 'm') m = now ? p.now.month : list[i].v;
      if (list[i].k == 'y') y = now ? p.now.year : list[i].v;
    }
    return (y === null ? 0 : y * 512) + (m === null ? 0 : m * 32) + (d === null ? 0 : d);
  }
  if (n == 1) return value(parts, true) == value(parts, false);
  var first = parts.slice(0, n / 2), second = parts.slice(n / 2);
  for (var j = 0; j < first.length; j++) if (first[j].k != second[j].k) return false;
  var lo = value(first, false), hi = value(second, false), cur = value(first, true);
  var hasYear = false;
  for (var k = 0; k < first.length; k++) if (first[k].k == 'y') hasYear = true;
  return hasYear ? (cur >= lo && cur <= hi) : __inRange(cur, lo, hi);
}
)JS";

}  // namespace

void PacScript::setResolver(Resolver r) {
    std::lock_guard<std::mutex> lock(hooksMutex());
    resolverHook() = std::move(r);
}

void PacScript::setMyIpAddress(std::function<std::string()> provider) {
    std::lock_guard<std::mutex> lock(hooksMutex());
    myIpHook() = std::move(provider);
}

foundation::Result<std::string> PacScript::findProxyForURL(const std::string& script, const std::string& url,
                                                           const std::string& host, double timeLimitSeconds) {
    HeapData data;
    data.deadline =
        std::chrono::steady_clock::now() + std::chrono::microseconds(int64_t(std::max(0.0, timeLimitSeconds) * 1e6));
    duk_context* ctx = duk_create_heap(nullptr, nullptr, nullptr, static_cast<quenta_duk_guard*>(&data), nullptr);
    if (!ctx)
        return foundation::Error::make(kPacScriptErrorDomain, kPacEngineUnavailable,
                                       "the script engine could not start");
    auto fail = [&](PacScriptErrorCode code, const std::string& what) -> foundation::Result<std::string> {
        auto error = data.timedOut
                         ? foundation::Error::make(kPacScriptErrorDomain, kPacTimedOut, "the script ran too long")
                         : foundation::Error::make(kPacScriptErrorDomain, code, what);
        duk_destroy_heap(ctx);
        return error;
    };
    duk_push_c_function(ctx, nativeDnsResolve, 1);
    duk_put_global_string(ctx, "dnsResolve");
    duk_push_c_function(ctx, nativeMyIpAddress, 0);
    duk_put_global_string(ctx, "myIpAddress");
    duk_push_c_function(ctx, nativeAlert, 1);
    duk_put_global_string(ctx, "alert");
    if (duk_peval_string(ctx, kHelpers) != 0)
        return fail(kPacEngineUnavailable, std::string("helpers: ") + duk_safe_to_string(ctx, -1));
    duk_pop(ctx);
    if (duk_peval_lstring(ctx, script.data(), script.size()) != 0)
        return fail(kPacScriptFailed, std::string("the script failed: ") + duk_safe_to_string(ctx, -1));
    duk_pop(ctx);
    if (!duk_get_global_string(ctx, "FindProxyForURL") || !duk_is_function(ctx, -1))
        return fail(kPacNoEntryPoint, "the script has no FindProxyForURL");
    duk_push_lstring(ctx, url.data(), url.size());
    duk_push_lstring(ctx, host.data(), host.size());
    if (duk_pcall(ctx, 2) != 0)
        return fail(kPacScriptFailed, std::string("FindProxyForURL failed: ") + duk_safe_to_string(ctx, -1));
    if (!duk_is_string(ctx, -1)) return fail(kPacAnswerNotText, "FindProxyForURL gave no text");
    std::string answer = duk_get_string(ctx, -1);
    duk_destroy_heap(ctx);
    return answer;
}

}  // namespace http
