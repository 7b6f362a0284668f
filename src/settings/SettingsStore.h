#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/IniFile.h"
#include "settings/SettingsValues.h"

namespace zorvane {

// The program's settings file: every section and key, their encodings, what the start-up load
// reads, what the exit save writes, and the quick presets' own sections. Works on plain values
// (SettingsValues); the application copies its state in and out.
//
// Encodings: integers "%d"; flags "%d" of 0 or 1, read as non-zero; floats "%f" (six decimals,
// always with a '.'), read as text with the current value as default and scanned as a number —
// text that is not a number keeps the current value; texts whole, whatever their length.
// Numbers the program's own controls would not accept (an exposure of 1e30 s, a sequence
// format 9) are limited to what they accept, or to their default.
class SettingsStore {
public:
    // Sections written with a preset digit for the quick presets.
    static constexpr const char* kCamera = "Camera";
    static constexpr const char* kDisplay = "Display";

    // An empty path means the user's settings file.
    explicit SettingsStore(std::string path = {});

    const std::string& Path() const { return path_; }

    // Writes the sequencer's sections into the exit save; called only while the sequencer
    // dialog exists, right after its dialog section.
    void SetSequencerSectionsWriter(std::function<void(IniDocument&)> writer) {
        writeSequencer_ = std::move(writer);
    }

    // "Camera" / "Camera3": the base name with the preset digit (0 = none).
    static std::string SectionName(std::string_view base, int preset);

    // ---- value encodings ----
    static void WriteIntSetting(IniDocument& doc, std::string_view section, std::string_view key,
                                int value);
    static void WriteFlagSetting(IniDocument& doc, std::string_view section, std::string_view key,
                                 bool value);
    static void WriteFloatSetting(IniDocument& doc, std::string_view section, std::string_view key,
                                  float value);
    static void WriteTextSetting(IniDocument& doc, std::string_view section, std::string_view key,
                                 std::string_view value);
    static int ReadIntSetting(const IniDocument& doc, std::string_view section,
                              std::string_view key, int current);
    static bool ReadFlagSetting(const IniDocument& doc, std::string_view section,
                                std::string_view key, bool current);
    static float ReadFloatSetting(const IniDocument& doc, std::string_view section,
                                  std::string_view key, float current);
    static std::string ReadTextSetting(const IniDocument& doc, std::string_view section,
                                       std::string_view key, std::string_view defaultValue);
    // "%f" without regard to the user's locale.
    static std::string FormatFloat(float value);
    // The number at the start of the text, as "%f" scans it (leading blanks skipped, trailing
    // text ignored); none when there is no finite number.
    static std::optional<float> ScanFloat(std::string_view text);

    // ---- whole loads and saves ----
    // Every setting to its default. The facts (sensor size, home folder, automatic colour) are
    // kept.
    static void SetDefaults(SettingsValues& v);

    struct LoadResult {
        bool fileRead = false;   // the file was there and could be read
        bool maximise = false;   // the window was maximised at the last exit (timer 3)
        bool placement = false;  // a window placement was stored and is in v.window
    };
    // preset 0: the start-up load (defaults first, then the keys read at start).
    // preset 1-8: a quick preset on top of the current values, by the preset's flags and the
    // exposure lock.
    LoadResult Load(int preset, SettingsValues& v) const;

    // preset 0: the exit save, everything. preset 1-8: the "Quick" section and the preset's
    // Camera n / Display n values. The file is written once, atomically; false when it could
    // not be written (the file on disk is then unchanged).
    bool Save(int preset, const SettingsValues& v) const;

    // The same work on a document already in memory (no file access).
    LoadResult Load(int preset, const IniDocument& doc, SettingsValues& v) const;
    void Save(int preset, IniDocument& doc, const SettingsValues& v) const;

private:
    void LoadStart(const IniDocument& doc, SettingsValues& v, LoadResult& result) const;
    void LoadPreset(int n, const IniDocument& doc, SettingsValues& v) const;
    void SaveExit(IniDocument& doc, const SettingsValues& v) const;
    void SavePreset(int n, IniDocument& doc, const SettingsValues& v) const;
    static void SaveQuickSection(IniDocument& doc, const SettingsValues& v);

    std::string path_;
    std::function<void(IniDocument&)> writeSequencer_;
};

}  // namespace zorvane
