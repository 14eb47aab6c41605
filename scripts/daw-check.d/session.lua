-- Run by ardour7-lua for scripts/daw-check: on the Dummy backend at the
-- buffer size asked for, either creates the session (a MIDI track playing
-- Tavolin, one MIDI region) or opens the saved one, and exports it once.
-- One export per process: Ardour 7.3 corrupts its heap when a second export
-- of the same session runs. ardour7-lua passes no arguments, so the
-- environment carries them:
--   DAW_CHECK_ACTION   create | load | reopen (load, close, load again)
--   DAW_CHECK_DIR      the session folder, DAW_CHECK_NAME its name
--   DAW_CHECK_RATE     the session's sample rate (create)
--   DAW_CHECK_BUFFER   the engine's buffer size in frames
--   DAW_CHECK_OUT      the export's folder, DAW_CHECK_LABEL its file's name
--   DAW_CHECK_SECONDS  the export's length, from frame 0
--   DAW_CHECK_PRESET   the export preset's id (32-bit float WAVE)
--   DAW_CHECK_URI      the instrument's URI
--   DAW_CHECK_CONTROLS LABEL=VALUE;LABEL=VALUE..., the controls to set (create), or empty
--   DAW_CHECK_TRANSPORT  1: before the export, stop, locate, roll, locate
--                      while rolling and stop, each step announced by a line
--                      "daw-check: STEP at cycle N" (N counts the engine's
--                      cycles from the session's start)
-- Lines starting "daw-check:" are for the script; a failure prints
-- "daw-check: error ..." and leaves the rest undone.

local function setting(key)
	local value = os.getenv(key)
	if value == nil or value == "" then
		error("daw-check: error " .. key .. " is not set")
	end
	return value
end

local action = setting("DAW_CHECK_ACTION")
local dir = setting("DAW_CHECK_DIR")
local name = setting("DAW_CHECK_NAME")
local buffer = tonumber(setting("DAW_CHECK_BUFFER"))
local uri = setting("DAW_CHECK_URI")

-- The notes, in beats from the region's start (120 bpm: half a beat is a
-- whole number of frames at 44100 and 48000 Hz). The region starts 300
-- frames after the first second, so that no note-on and no note-off lies on
-- the plugin's 1024-frame grid.
local notes = {
	{ pitch = 57, on = 0, off = 1.5 },
	{ pitch = 60, on = 3, off = 5 },
	{ pitch = 64, on = 3, off = 5 },
	{ pitch = 67, on = 3, off = 5 },
}
local region_offset = 300
local region_beats = 6

local function fail(message)
	print("daw-check: error " .. message)
end

local function control_index(plugin, label)
	local n = 0
	for j = 0, plugin:parameter_count() - 1 do
		if plugin:parameter_is_control(j) then
			if plugin:parameter_is_input(j) and plugin:parameter_label(j) == label then
				return n
			end
			n = n + 1
		end
	end
	return nil
end

local function beats(value)
	local whole = math.floor(value)
	return Temporal.Beats(whole, math.floor((value - whole) * 1920 + 0.5))
end

-- A MIDI track without an instrument bounced over an empty range gives an
-- empty MIDI region with a file of its own; the notes go into its model.
local function build()
	local rate = Session:nominal_sample_rate()
	local midi = ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1)
	local mono = ARDOUR.ChanCount(ARDOUR.DataType("audio"), 1)
	local tracks = Session:new_midi_track(midi, mono, true, ARDOUR.PluginInfo(), nil, nil, 1, "Tavolin",
		ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
	if tracks:size() ~= 1 then
		return fail("cannot add a MIDI track")
	end
	local track = tracks:front()
	local tempo = Temporal.TempoMap.read()
	local length = tempo:sample_at_beats(beats(region_beats))
	local region = track:bounce_range(0, length, ARDOUR.InterThreadInfo(), ARDOUR.LuaAPI.nil_proc(), false, "notes")
	if region:isnil() then
		return fail("cannot make a MIDI region")
	end
	local model = region:to_midiregion():model()
	local command = model:new_note_diff_command("notes")
	for _, n in ipairs(notes) do
		command:add(ARDOUR.LuaAPI.new_noteptr(1, beats(n.on), beats(n.off - n.on), n.pitch, 100))
	end
	model:apply_command(Session, command)
	local start = rate + region_offset
	track:playlist():add_region(region, Temporal.timepos_t(start), 1, false, 0, 0, false)

	local synth = ARDOUR.LuaAPI.new_plugin(Session, uri, ARDOUR.PluginType.LV2, "")
	if synth:isnil() then
		return fail("plugin " .. uri .. " not found: is LV2_PATH (" .. (os.getenv("LV2_PATH") or "unset")
			.. ") a folder that holds its bundle, and is the bundle whole?")
	end
	if track:add_processor_by_index(synth, 0, nil, true) ~= 0 then
		return fail("cannot add the plugin to the track")
	end
	for label, value in (os.getenv("DAW_CHECK_CONTROLS") or ""):gmatch("([^;=]+)=([^;]+)") do
		local index = control_index(synth:to_insert():plugin(0), label)
		if index == nil or not ARDOUR.LuaAPI.set_processor_param(synth, index, tonumber(value)) then
			return fail("cannot set the plugin's control " .. label)
		end
	end

	-- Where Ardour puts each note on the timeline, for the onset check.
	local placed = 0
	for r in track:playlist():region_list():iter() do
		placed = r:position():samples()
	end
	for _, n in ipairs(notes) do
		local on = tempo:sample_at_beats(tempo:quarters_at_sample(placed) + beats(n.on))
		local off = tempo:sample_at_beats(tempo:quarters_at_sample(placed) + beats(n.off))
		print(string.format("daw-check: note %d on %d off %d", n.pitch, on, off))
	end
	Session:save_state("", false, false, false, false, false)
	return true
end

local function export()
	local label = setting("DAW_CHECK_LABEL")
	local seconds = tonumber(setting("DAW_CHECK_SECONDS"))
	local rate = Session:nominal_sample_rate()
	local job = Session:simple_export()
	job:set_folder(setting("DAW_CHECK_OUT"))
	job:set_name(label)
	job:set_range(0, math.floor(seconds * rate))
	if not job:set_preset(setting("DAW_CHECK_PRESET")) then
		return fail("export preset " .. setting("DAW_CHECK_PRESET") .. " not found")
	end
	if not job:run_export() then
		return fail("export " .. label .. " failed")
	end
	print(string.format("daw-check: exported %s rate %d block %d latency %d", label, rate, Session:get_block_size(),
		Session:worst_route_latency()))
end

local function open()
	if action == "create" then
		if not create_session(dir, name, tonumber(setting("DAW_CHECK_RATE"))) then
			return fail("cannot create the session " .. dir)
		end
		return build()
	end
	if not load_session(dir, name) then
		return fail("cannot open the session " .. dir)
	end
	if action == "reopen" then
		close_session()
		if not load_session(dir, name) then
			return fail("cannot open the session " .. dir .. " again")
		end
	end
	return true
end

-- Transport moves as a user makes them, in real time, for a plugin that logs
-- what the host tells it.
local function move_transport()
	local first = AudioEngine:processed_samples()
	local rate = Session:nominal_sample_rate()
	local source = ARDOUR.TransportRequestSource.TRS_UI
	local function step(what, seconds, request)
		print(string.format("daw-check: %s at cycle %d, transport at %d", what,
			(AudioEngine:processed_samples() - first) // buffer, Session:transport_sample()))
		request()
		ARDOUR.LuaAPI.usleep(math.floor(seconds * 1e6))
	end
	step("stopped", 0.3, function() end)
	step("locate to " .. 2 * rate .. " while stopped", 0.3, function()
		Session:request_locate(2 * rate, false, ARDOUR.LocateTransportDisposition.MustStop, source)
	end)
	step("roll", 0.5, function() Session:request_roll(source) end)
	step("locate to " .. 3 * rate .. " while rolling", 0.5, function()
		Session:request_locate(3 * rate, false, ARDOUR.LocateTransportDisposition.MustRoll, source)
	end)
	step("stop", 0.3, function() Session:request_stop(false, false, source) end)
	step("export", 0, function() end)
end

AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:set_buffer_size(buffer)
if open() then
	if os.getenv("DAW_CHECK_TRANSPORT") == "1" then
		move_transport()
	end
	export()
end
close_session()
