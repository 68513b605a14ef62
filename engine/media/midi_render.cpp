#include "engine/media/midi_render.h"

#include <QFile>

#include <fluidsynth.h>
#include <sndfile.h>

#include <vector>

namespace fc {

namespace {

constexpr int kMaxMusicSeconds = 15 * 60;
constexpr int kSampleRate = 32000;

void quietFluidSynth()
{
    static const bool done = [] {
        for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level)
            fluid_set_log_function(level, nullptr, nullptr);
        return true;
    }();
    Q_UNUSED(done);
}

// MIDI rendered to interleaved 16-bit stereo at kSampleRate, exactly to the
// end of the song so that it loops without a gap.
std::optional<std::vector<short>> renderMidi(const QString &midi, const QString &soundFont, QString *why)
{
    quietFluidSynth();
    fluid_settings_t *settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", kSampleRate);
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    fluid_settings_setint(settings, "synth.lock-memory", 0);
    fluid_synth_t *synth = new_fluid_synth(settings);
    fluid_player_t *player = nullptr;
    std::optional<std::vector<short>> pcm;
    if (!synth || fluid_synth_sfload(synth, QFile::encodeName(soundFont).constData(), 1) == FLUID_FAILED) {
        *why = QStringLiteral("the SoundFont %1 could not be loaded").arg(soundFont);
    } else if (!(player = new_fluid_player(synth)) || fluid_player_add(player, QFile::encodeName(midi).constData()) != FLUID_OK
               || fluid_player_play(player) != FLUID_OK) {
        *why = QStringLiteral("FluidSynth could not read it as MIDI");
    } else {
        std::vector<short> out;
        constexpr int kBlock = 1024;
        short block[kBlock * 2];
        const size_t limit = size_t(kMaxMusicSeconds) * kSampleRate * 2;
        while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && out.size() < limit) {
            if (fluid_synth_write_s16(synth, kBlock, block, 0, 2, block, 1, 2) != FLUID_OK)
                break;
            out.insert(out.end(), block, block + kBlock * 2);
        }
        if (out.empty())
            *why = QStringLiteral("the song is empty");
        else
            pcm = std::move(out);
    }
    if (player)
        delete_fluid_player(player);
    if (synth)
        delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return pcm;
}

std::optional<QByteArray> encodeVorbis(const std::vector<short> &pcm, const QString &tempDir, QString *why)
{
    const QString file = tempDir + QStringLiteral("/music.ogg");
    QFile::remove(file);
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = 2;
    info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    SNDFILE *out = sf_open(QFile::encodeName(file).constData(), SFM_WRITE, &info);
    if (!out) {
        *why = QStringLiteral("Ogg Vorbis encoding is not available: %1").arg(QString::fromLocal8Bit(sf_strerror(nullptr)));
        return std::nullopt;
    }
    double quality = 0.2;
    sf_command(out, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    const sf_count_t frames = sf_count_t(pcm.size() / 2);
    const bool written = sf_writef_short(out, pcm.data(), frames) == frames;
    sf_close(out);
    QFile f(file);
    if (!written || !f.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("Ogg Vorbis encoding failed");
        return std::nullopt;
    }
    return f.readAll();
}

} // namespace

std::optional<QByteArray> renderMidiAsVorbis(const QString &midi, const QString &soundFont, const QString &tempDir,
                                             QString *why)
{
    if (auto pcm = renderMidi(midi, soundFont, why))
        return encodeVorbis(*pcm, tempDir, why);
    return std::nullopt;
}

} // namespace fc
