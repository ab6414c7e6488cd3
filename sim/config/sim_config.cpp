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
    n.localIp = r.text(section, "local_ip", n.localIp);
    n.deviceIp = r.text(section, "device_ip", n.deviceIp);
    n.deviceMac = r.text(section, "device_mac", n.deviceMac);
    n.localPort = static_cast<std::int32_t>(r.integer(section, "local_port", n.localPort));
    n.devicePort = static_cast<std::int32_t>(r.integer(section, "device_port", n.devicePort));
    if (!isValidIpv4(n.localIp)) r.fail(section, "local_ip", "is not an IPv4 address");
    if (!isValidIpv4(n.deviceIp)) r.fail(section, "device_ip", "is not an IPv4 address");
    if (!isValidMac(n.deviceMac)) r.fail(section, "device_mac", "is not a MAC address");
    if (!kNetworkPortRange.contains(n.localPort)) r.fail(section, "local_port", "must be 1..65535");
    if (!kNetworkPortRange.contains(n.devicePort)) r.fail(section, "device_port", "must be 1..65535");
}

void readSignal(const ConfigReader& r, SignalConfig& s) {
    const int channels = s.channelCount;
    const double background = r.nonNegative("background", "rate_hz", 1000.0);
    s.backgroundRateHz.assign(static_cast<std::size_t>(channels), background);
    for (int ch = 1; ch <= channels; ++ch) {
        const std::string section = "channel" + std::to_string(ch);
        s.backgroundRateHz[ch - 1] = r.nonNegative(section, "background_rate_hz", background);
    }

    DetectorConfig& d = s.detector;
    d.pulseAmplitudeV = r.nonNegative("detector", "pulse_amplitude_v", d.pulseAmplitudeV);
    d.amplitudeSpreadV = r.nonNegative("detector", "amplitude_spread_v", d.amplitudeSpreadV);
    d.noiseRateHz = r.nonNegative("detector", "noise_rate_hz", d.noiseRateHz);
    d.noiseScaleV = r.nonNegative("detector", "noise_scale_v", d.noiseScaleV);

    PulseConfig& p = s.pulse;
    p.widthMeanPs = r.nonNegative("pulse", "width_mean_ps", p.widthMeanPs);
    p.widthSigmaPs = r.nonNegative("pulse", "width_sigma_ps", p.widthSigmaPs);
    p.photopeakKev = r.nonNegative("pulse", "photopeak_kev", p.photopeakKev);
    p.photopeakSigmaKev = r.nonNegative("pulse", "photopeak_sigma_kev", p.photopeakSigmaKev);
    p.photopeakFraction = r.nonNegative("pulse", "photopeak_fraction", p.photopeakFraction);
    p.comptonEdgeKev = r.nonNegative("pulse", "compton_edge_kev", p.comptonEdgeKev);
    if (p.photopeakFraction > 1) r.fail("pulse", "photopeak_fraction", "must be 0..1");

    const long long pairCount = r.integer("pairs", "count", 1);
    if (pairCount < 0 || pairCount > 64) r.fail("pairs", "count", "must be 0..64");
    s.pairs.clear();
    for (int i = 1; i <= pairCount; ++i) {
        const std::string section = "pair" + std::to_string(i);
        PairSourceConfig pair;
        pair.channelA = r.channel(section, "channel_a", std::min(2 * i - 1, channels), channels);
        pair.channelB = r.channel(section, "channel_b", std::min(2 * i, channels), channels);
        pair.rateHz = r.nonNegative(section, "rate_hz", pair.rateHz);
        pair.delayPs = r.real(section, "delay_ps", pair.delayPs);
        pair.jitterPs = r.nonNegative(section, "jitter_ps", pair.jitterPs);
        if (pair.channelA == pair.channelB) r.fail(section, "channel_b", "must differ from channel_a");
        s.pairs.push_back(pair);
    }

    ClockSourceConfig& c = s.clock;
    c.enabled = r.boolean("clock", "enabled", c.enabled);
    c.channel = r.channel("clock", "channel", channels, channels);
    c.frequencyHz = r.nonNegative("clock", "frequency_hz", c.frequencyHz);
    c.phaseNoisePs = r.nonNegative("clock", "phase_noise_ps", c.phaseNoisePs);
    c.frequencyNoise = r.nonNegative("clock", "frequency_noise", c.frequencyNoise);
    if (c.enabled && (c.frequencyHz < 1 || c.frequencyHz > 1e9)) r.fail("clock", "frequency_hz", "must be 1..1e9");

    EmitterConfig& e = s.emitter;
    const long long emitterChannel = r.integer("emitter", "channel", e.channel);
    if (emitterChannel < 0 || emitterChannel > channels) {
        r.fail("emitter", "channel", "must be 0 (none) or a channel from 1 to " + std::to_string(channels));
    }
    e.channel = static_cast<int>(emitterChannel);
    e.excitationRateHz = r.nonNegative("emitter", "excitation_rate_hz", e.excitationRateHz);
    e.lifetimePs = r.nonNegative("emitter", "lifetime_ps", e.lifetimePs);
}

void readStatus(const ConfigReader& r, StatusConfig& s) {
    s.ambientC = r.real("status", "ambient_c", s.ambientC);
    s.warmupC = r.real("status", "warmup_c", s.warmupC);
    s.warmupTauS = r.nonNegative("status", "warmup_tau_s", s.warmupTauS);
    s.driftSigmaC = r.nonNegative("status", "drift_sigma_c", s.driftSigmaC);
    s.driftTauS = r.nonNegative("status", "drift_tau_s", s.driftTauS);
    s.currentNoise = r.nonNegative("status", "current_noise", s.currentNoise);
    s.currentTempCoeff = r.real("status", "current_temp_coeff", s.currentTempCoeff);
    for (std::size_t i = 0; i < s.nominalCurrentsA.size(); ++i) {
        const std::string key = "current" + std::to_string(i + 1) + "_a";
        s.nominalCurrentsA[i] = r.nonNegative("status", key, s.nominalCurrentsA[i]);
    }
    s.fanMinRpm = r.nonNegative("status", "fan_min_rpm", s.fanMinRpm);
    s.fanMaxRpm = r.nonNegative("status", "fan_max_rpm", s.fanMaxRpm);
    s.fanStartC = r.real("status", "fan_start_c", s.fanStartC);
    s.fanRpmPerC = r.nonNegative("status", "fan_rpm_per_c", s.fanRpmPerC);
    if (s.fanMaxRpm < s.fanMinRpm) r.fail("status", "fan_max_rpm", "must not be below fan_min_rpm");
}

long long boundedInteger(const ConfigReader& r, const std::string& section, const std::string& key,
                         long long fallback, long long min, long long max) {
    const long long v = r.integer(section, key, fallback);
    if (v < min || v > max) r.fail(section, key, "must be " + std::to_string(min) + ".." + std::to_string(max));
    return v;
}

void readMeasurements(const ConfigReader& r, InstrumentConfig& inst) {
    AcquisitionConfig& a = inst.acquisition;
    a.dataDir = r.text("acquisition", "data_dir", a.dataDir);
    a.maxReplyBytes = static_cast<std::uint64_t>(boundedInteger(
        r, "acquisition", "max_reply_bytes", static_cast<long long>(a.maxReplyBytes), 65536, 1LL << 30));
    a.bufferLimitBytes = static_cast<std::uint64_t>(boundedInteger(
        r, "acquisition", "buffer_limit_bytes", static_cast<long long>(a.bufferLimitBytes), 1LL << 20, 16LL << 30));

    StreamConfig& st = inst.stream;
    st.chunkBytes = static_cast<std::uint64_t>(
        boundedInteger(r, "stream", "chunk_bytes", static_cast<long long>(st.chunkBytes), 16, 256LL << 20));
    st.totalBytes = static_cast<std::uint64_t>(
        boundedInteger(r, "stream", "total_bytes", static_cast<long long>(st.totalBytes), 0, 1LL << 50));

    RateConfig& rates = inst.rates;
    rates.sampleIntervalMs = boundedInteger(r, "rates", "sample_interval_ms", rates.sampleIntervalMs, 1, 60000);
    rates.maxRecordingS = boundedInteger(r, "rates", "max_recording_s", rates.maxRecordingS, 1, 86400);
}

SimConfig readConfig(const INIReader& ini, const std::string& origin) {
    const ConfigReader r(ini, origin);
    SimConfig config;

    const long long port = r.integer("server", "port", kDefaultPort);
    if (port < 0 || port > 65535) r.fail("server", "port", "must be 0..65535");
    config.port = static_cast<int>(port);
    const long long maxLine = r.integer("server", "max_line_bytes", static_cast<long long>(kDefaultMaxLineBytes));
    if (maxLine < 1024 || maxLine > (64L << 20)) r.fail("server", "max_line_bytes", "must be 1024..67108864");
    config.maxLineBytes = static_cast<std::size_t>(maxLine);

    InstrumentConfig& inst = config.instrument;
    const long long channels = r.integer("instrument", "channels", 16);
    if (channels < 1 || channels > kMaxChannels) r.fail("instrument", "channels", "must be 1..64");
    inst.signal.channelCount = static_cast<int>(channels);
    const long long seed = r.integer("instrument", "seed", 1);
    inst.signal.seed = static_cast<std::uint64_t>(seed);
    inst.identity.firmwareVersion = r.text("instrument", "firmware_version", inst.identity.firmwareVersion);
    inst.identity.serialNumber = r.text("instrument", "serial_number", inst.identity.serialNumber);
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

SimConfig parseSimConfig(const std::string& iniText, const std::string& origin) {
    return checkedConfig(INIReader(iniText.data(), iniText.size()), origin);
}

SimConfig loadSimConfig(const std::string& path) {
    if (path.empty()) return parseSimConfig("", "defaults");
    return checkedConfig(INIReader(path), path);
}

}  // namespace veltrano::sim
