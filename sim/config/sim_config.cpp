#include "sim/config/sim_config.h"

#include <INIReader.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace veltrano::sim {
namespace {

constexpr int kMaxChannels = 64;

// Reads values strictly: a key that is present must parse completely.
class ConfigReader {
public:
    ConfigReader(const INIReader& ini, std::string origin) : ini_(ini), origin_(std::move(origin)) {}

    long long integer(const std::string& section, const std::string& key, long long fallback) const {
        if (!ini_.HasValue(section, key)) return fallback;
        const std::string text = ini_.Get(section, key, "");
        errno = 0;
        char* end = nullptr;
        const long long v = std::strtoll(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || errno != 0) fail(section, key, "is not an integer: \"" + text + "\"");
        return v;
    }

    double real(const std::string& section, const std::string& key, double fallback) const {
        if (!ini_.HasValue(section, key)) return fallback;
        const std::string text = ini_.Get(section, key, "");
        char* end = nullptr;
        const double v = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0' || !std::isfinite(v)) fail(section, key, "is not a number: \"" + text + "\"");
        return v;
    }

    double nonNegative(const std::string& section, const std::string& key, double fallback) const {
        const double v = real(section, key, fallback);
        if (v < 0) fail(section, key, "must not be negative");
        return v;
    }

    bool boolean(const std::string& section, const std::string& key, bool fallback) const {
        if (!ini_.HasValue(section, key)) return fallback;
        const std::string text = ini_.Get(section, key, "");
        if (text == "true" || text == "yes" || text == "on" || text == "1") return true;
        if (text == "false" || text == "no" || text == "off" || text == "0") return false;
        fail(section, key, "is not a boolean: \"" + text + "\"");
    }

    std::string text(const std::string& section, const std::string& key, const std::string& fallback) const {
        return ini_.HasValue(section, key) ? ini_.Get(section, key, fallback) : fallback;
    }

    int channel(const std::string& section, const std::string& key, int fallback, int channels) const {
        const long long v = integer(section, key, fallback);
        if (v < 1 || v > channels) fail(section, key, "must be a channel from 1 to " + std::to_string(channels));
        return static_cast<int>(v);
    }

    bool hasSection(const std::string& section) const { return ini_.HasSection(section); }

    [[noreturn]] void fail(const std::string& section, const std::string& key, const std::string& what) const {
        throw std::runtime_error(origin_ + ": [" + section + "] " + key + " " + what);
    }

private:
    const INIReader& ini_;
    std::string origin_;
};

void readNetwork(const ConfigReader& r, const std::string& section, NetworkSettings& n) {
    n.local_ip = r.text(section, "local_ip", n.local_ip);
    n.device_ip = r.text(section, "device_ip", n.device_ip);
    n.device_mac = r.text(section, "device_mac", n.device_mac);
    n.local_port = static_cast<std::int32_t>(r.integer(section, "local_port", n.local_port));
    n.device_port = static_cast<std::int32_t>(r.integer(section, "device_port", n.device_port));
    if (!isValidIpv4(n.local_ip)) r.fail(section, "local_ip", "is not an IPv4 address");
    if (!isValidIpv4(n.device_ip)) r.fail(section, "device_ip", "is not an IPv4 address");
    if (!isValidMac(n.device_mac)) r.fail(section, "device_mac", "is not a MAC address");
    if (!kNetworkPortRange.contains(n.local_port)) r.fail(section, "local_port", "must be 1..65535");
    if (!kNetworkPortRange.contains(n.device_port)) r.fail(section, "device_port", "must be 1..65535");
}

void readSignal(const ConfigReader& r, SignalConfig& s) {
    const int channels = s.channel_count;
    const double background = r.nonNegative("background", "rate_hz", 1000.0);
    s.background_rate_hz.assign(static_cast<std::size_t>(channels), background);
    for (int ch = 1; ch <= channels; ++ch) {
        const std::string section = "channel" + std::to_string(ch);
        s.background_rate_hz[ch - 1] = r.nonNegative(section, "background_rate_hz", background);
    }

    DetectorConfig& d = s.detector;
    d.pulse_amplitude_v = r.nonNegative("detector", "pulse_amplitude_v", d.pulse_amplitude_v);
    d.amplitude_spread_v = r.nonNegative("detector", "amplitude_spread_v", d.amplitude_spread_v);
    d.noise_rate_hz = r.nonNegative("detector", "noise_rate_hz", d.noise_rate_hz);
    d.noise_scale_v = r.nonNegative("detector", "noise_scale_v", d.noise_scale_v);

    PulseConfig& p = s.pulse;
    p.width_mean_ps = r.nonNegative("pulse", "width_mean_ps", p.width_mean_ps);
    p.width_sigma_ps = r.nonNegative("pulse", "width_sigma_ps", p.width_sigma_ps);
    p.photopeak_kev = r.nonNegative("pulse", "photopeak_kev", p.photopeak_kev);
    p.photopeak_sigma_kev = r.nonNegative("pulse", "photopeak_sigma_kev", p.photopeak_sigma_kev);
    p.photopeak_fraction = r.nonNegative("pulse", "photopeak_fraction", p.photopeak_fraction);
    p.compton_edge_kev = r.nonNegative("pulse", "compton_edge_kev", p.compton_edge_kev);
    if (p.photopeak_fraction > 1) r.fail("pulse", "photopeak_fraction", "must be 0..1");

    const long long pair_count = r.integer("pairs", "count", 1);
    if (pair_count < 0 || pair_count > 64) r.fail("pairs", "count", "must be 0..64");
    s.pairs.clear();
    for (int i = 1; i <= pair_count; ++i) {
        const std::string section = "pair" + std::to_string(i);
        PairSourceConfig pair;
        pair.channel_a = r.channel(section, "channel_a", std::min(2 * i - 1, channels), channels);
        pair.channel_b = r.channel(section, "channel_b", std::min(2 * i, channels), channels);
        pair.rate_hz = r.nonNegative(section, "rate_hz", pair.rate_hz);
        pair.delay_ps = r.real(section, "delay_ps", pair.delay_ps);
        pair.jitter_ps = r.nonNegative(section, "jitter_ps", pair.jitter_ps);
        if (pair.channel_a == pair.channel_b) r.fail(section, "channel_b", "must differ from channel_a");
        s.pairs.push_back(pair);
    }

    ClockSourceConfig& c = s.clock;
    c.enabled = r.boolean("clock", "enabled", c.enabled);
    c.channel = r.channel("clock", "channel", channels, channels);
    c.frequency_hz = r.nonNegative("clock", "frequency_hz", c.frequency_hz);
    c.phase_noise_ps = r.nonNegative("clock", "phase_noise_ps", c.phase_noise_ps);
    c.frequency_noise = r.nonNegative("clock", "frequency_noise", c.frequency_noise);
    if (c.enabled && (c.frequency_hz < 1 || c.frequency_hz > 1e9)) r.fail("clock", "frequency_hz", "must be 1..1e9");

    EmitterConfig& e = s.emitter;
    const long long emitter_channel = r.integer("emitter", "channel", e.channel);
    if (emitter_channel < 0 || emitter_channel > channels) {
        r.fail("emitter", "channel", "must be 0 (none) or a channel from 1 to " + std::to_string(channels));
    }
    e.channel = static_cast<int>(emitter_channel);
    e.excitation_rate_hz = r.nonNegative("emitter", "excitation_rate_hz", e.excitation_rate_hz);
    e.lifetime_ps = r.nonNegative("emitter", "lifetime_ps", e.lifetime_ps);
}

void readStatus(const ConfigReader& r, StatusConfig& s) {
    s.ambient_c = r.real("status", "ambient_c", s.ambient_c);
    s.warmup_c = r.real("status", "warmup_c", s.warmup_c);
    s.warmup_tau_s = r.nonNegative("status", "warmup_tau_s", s.warmup_tau_s);
    s.drift_sigma_c = r.nonNegative("status", "drift_sigma_c", s.drift_sigma_c);
    s.drift_tau_s = r.nonNegative("status", "drift_tau_s", s.drift_tau_s);
    s.current_noise = r.nonNegative("status", "current_noise", s.current_noise);
    s.current_temp_coeff = r.real("status", "current_temp_coeff", s.current_temp_coeff);
    for (std::size_t i = 0; i < s.nominal_currents_a.size(); ++i) {
        const std::string key = "current" + std::to_string(i + 1) + "_a";
        s.nominal_currents_a[i] = r.nonNegative("status", key, s.nominal_currents_a[i]);
    }
    s.fan_min_rpm = r.nonNegative("status", "fan_min_rpm", s.fan_min_rpm);
    s.fan_max_rpm = r.nonNegative("status", "fan_max_rpm", s.fan_max_rpm);
    s.fan_start_c = r.real("status", "fan_start_c", s.fan_start_c);
    s.fan_rpm_per_c = r.nonNegative("status", "fan_rpm_per_c", s.fan_rpm_per_c);
    if (s.fan_max_rpm < s.fan_min_rpm) r.fail("status", "fan_max_rpm", "must not be below fan_min_rpm");
}

long long boundedInteger(const ConfigReader& r, const std::string& section, const std::string& key,
                         long long fallback, long long min, long long max) {
    const long long v = r.integer(section, key, fallback);
    if (v < min || v > max) r.fail(section, key, "must be " + std::to_string(min) + ".." + std::to_string(max));
    return v;
}

void readMeasurements(const ConfigReader& r, InstrumentConfig& inst) {
    AcquisitionConfig& a = inst.acquisition;
    a.data_dir = r.text("acquisition", "data_dir", a.data_dir);
    a.max_reply_bytes = static_cast<std::uint64_t>(boundedInteger(
        r, "acquisition", "max_reply_bytes", static_cast<long long>(a.max_reply_bytes), 65536, 1LL << 30));
    a.buffer_limit_bytes = static_cast<std::uint64_t>(boundedInteger(
        r, "acquisition", "buffer_limit_bytes", static_cast<long long>(a.buffer_limit_bytes), 1LL << 20, 16LL << 30));

    StreamConfig& st = inst.stream;
    st.chunk_bytes = static_cast<std::uint64_t>(
        boundedInteger(r, "stream", "chunk_bytes", static_cast<long long>(st.chunk_bytes), 16, 256LL << 20));
    st.total_bytes = static_cast<std::uint64_t>(
        boundedInteger(r, "stream", "total_bytes", static_cast<long long>(st.total_bytes), 0, 1LL << 50));

    RateConfig& rates = inst.rates;
    rates.sample_interval_ms = boundedInteger(r, "rates", "sample_interval_ms", rates.sample_interval_ms, 1, 60000);
    rates.max_recording_s = boundedInteger(r, "rates", "max_recording_s", rates.max_recording_s, 1, 86400);
}

SimConfig readConfig(const INIReader& ini, const std::string& origin) {
    const ConfigReader r(ini, origin);
    SimConfig config;

    const long long port = r.integer("server", "port", kDefaultPort);
    if (port < 0 || port > 65535) r.fail("server", "port", "must be 0..65535");
    config.port = static_cast<int>(port);
    const long long max_line = r.integer("server", "max_line_bytes", static_cast<long long>(kDefaultMaxLineBytes));
    if (max_line < 1024 || max_line > (64L << 20)) r.fail("server", "max_line_bytes", "must be 1024..67108864");
    config.max_line_bytes = static_cast<std::size_t>(max_line);

    InstrumentConfig& inst = config.instrument;
    const long long channels = r.integer("instrument", "channels", 16);
    if (channels < 1 || channels > kMaxChannels) r.fail("instrument", "channels", "must be 1..64");
    inst.signal.channel_count = static_cast<int>(channels);
    const long long seed = r.integer("instrument", "seed", 1);
    inst.signal.seed = static_cast<std::uint64_t>(seed);
    inst.identity.firmware_version = r.text("instrument", "firmware_version", inst.identity.firmware_version);
    inst.identity.serial_number = r.text("instrument", "serial_number", inst.identity.serial_number);
    inst.identity.model = static_cast<int>(r.integer("instrument", "model", inst.identity.model));

    if (r.hasSection("device1")) {
        inst.devices.clear();
        for (int i = 1; r.hasSection("device" + std::to_string(i)); ++i) {
            const std::string section = "device" + std::to_string(i);
            DeviceEntry entry;
            entry.type = static_cast<int>(r.integer(section, "type", i));
            entry.name = r.text(section, "name", "Simulated device " + std::to_string(i));
            inst.devices.push_back(entry);
        }
    }

    readNetwork(r, "network", inst.network);
    readNetwork(r, "wnetwork", inst.wnetwork);
    readSignal(r, inst.signal);
    readStatus(r, inst.status);
    readMeasurements(r, inst);
    return config;
}

SimConfig checkedConfig(const INIReader& ini, const std::string& origin) {
    if (ini.ParseError() < 0) throw std::runtime_error(origin + ": cannot be read");
    if (ini.ParseError() > 0) {
        throw std::runtime_error(origin + ": syntax error on line " + std::to_string(ini.ParseError()));
    }
    return readConfig(ini, origin);
}

}  // namespace

SimConfig parseSimConfig(const std::string& ini_text, const std::string& origin) {
    return checkedConfig(INIReader(ini_text.data(), ini_text.size()), origin);
}

SimConfig loadSimConfig(const std::string& path) {
    if (path.empty()) return parseSimConfig("", "defaults");
    return checkedConfig(INIReader(path), path);
}

}  // namespace veltrano::sim
