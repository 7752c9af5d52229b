-- The dissector. Requests and answers of 3E and 4E binary frames over TCP,
-- joined from their segments; an answer matched to its request (4E by serial
-- number, 3E by order on its stream) with the response time; commands,
-- devices as the engineering tool writes them, values of a read answer beside
-- the devices of its request; expert info for what a client gets wrong.

local slmp = Proto("slmp", "SLMP (MC protocol, binary)")

local COMMANDS = {
    [0x0401] = "batch read", [0x1401] = "batch write", [0x0403] = "random read", [0x1402] = "random write",
    [0x0406] = "block read", [0x1406] = "block write", [0x0101] = "read type name", [0x1001] = "remote RUN",
    [0x1002] = "remote STOP", [0x1003] = "remote PAUSE", [0x1005] = "remote latch clear", [0x1006] = "remote RESET",
    [0x1630] = "remote unlock", [0x1631] = "remote lock",
}
local SUBCOMMANDS = {
    [0x0000] = "words", [0x0001] = "bits", [0x0002] = "words, 4-byte device numbers", [0x0003] = "bits, 4-byte device numbers",
}

local f = slmp.fields
f.frame = ProtoField.string("slmp.frame", "Frame")
f.kind = ProtoField.string("slmp.kind", "Kind")
f.serial = ProtoField.uint16("slmp.serial", "Serial number", base.HEX)
f.network = ProtoField.uint8("slmp.network", "Network number", base.HEX)
f.pc = ProtoField.uint8("slmp.pc", "PC number", base.HEX)
f.module = ProtoField.uint16("slmp.module", "Module I/O number", base.HEX)
f.station = ProtoField.uint8("slmp.station", "Multidrop station number", base.HEX)
f.length = ProtoField.uint16("slmp.length", "Data length")
f.timer = ProtoField.uint16("slmp.timer", "Monitoring timer (x 250 ms)")
f.command = ProtoField.uint16("slmp.command", "Command", base.HEX, COMMANDS)
f.subcommand = ProtoField.uint16("slmp.subcommand", "Subcommand", base.HEX, SUBCOMMANDS)
f.device = ProtoField.string("slmp.device", "Device")
f.points = ProtoField.uint16("slmp.points", "Points")
f.value = ProtoField.string("slmp.value", "Value")
f.endcode = ProtoField.uint16("slmp.endcode", "End code", base.HEX, END_CODES)
f.error_command = ProtoField.uint16("slmp.error.command", "Failed command", base.HEX, COMMANDS)
f.request_in = ProtoField.framenum("slmp.request_in", "Request in frame", base.NONE, frametype.REQUEST)
f.response_in = ProtoField.framenum("slmp.response_in", "Answer in frame", base.NONE, frametype.RESPONSE)
f.time = ProtoField.relative_time("slmp.time", "Response time")

local e_length = ProtoExpert.new("slmp.length_mismatch", "The data length does not match the data", expert.group.MALFORMED,
    expert.severity.ERROR)
local e_points = ProtoExpert.new("slmp.points_over_limit", "More points than the controller takes in one request",
    expert.group.PROTOCOL, expert.severity.WARN)
local e_orphan = ProtoExpert.new("slmp.no_request", "An answer with no request before it", expert.group.SEQUENCE,
    expert.severity.WARN)
slmp.experts = {e_length, e_points, e_orphan}

local tcp_stream = Field.new("tcp.stream")

-- Per stream, the requests still waiting for their answer (first pass);
-- per frame, what it was matched to.
local waiting = {}
local matched = {}

function slmp.init()
    waiting = {}
    matched = {}
end

local function device_name(code, number)
    local d = DEVICES[code]
    if not d then return string.format("device 0x%02X %d", code, number) end
    if d.base == 8 then return d.name .. string.format("%o", number) end
    if d.base == 16 then return d.name .. string.format("%X", number) end
    return d.name .. number
end

-- A device reference at `at`: its name, code, number and byte length.
local function device_at(tvb, at, wide)
    if wide then
        local number, code = tvb(at, 4):le_uint(), tvb(at + 4, 2):le_uint()
        return device_name(code, number), code, number, 6
    end
    local number, code = tvb(at, 3):le_uint(), tvb(at + 3, 1):uint()
    return device_name(code, number), code, number, 4
end

-- Devices of a request, for its answer's values: {code, number, count, unit}.
local function request_devices(tvb, command, sub, at, stop)
    local wide, list = bit32.band(sub, 2) ~= 0, {}
    local ref = wide and 6 or 4
    if command == 0x0401 and at + ref + 2 <= stop then
        local _, code, number = device_at(tvb, at, wide)
        list[1] = {code = code, number = number, count = tvb(at + ref, 2):le_uint(), bits = bit32.band(sub, 1) ~= 0}
    elseif command == 0x0403 and at + 2 <= stop then
        local words, dwords = tvb(at, 1):uint(), tvb(at + 1, 1):uint()
        local p = at + 2
        for i = 1, words + dwords do
            if p + ref > stop then break end
            local _, code, number = device_at(tvb, p, wide)
            list[#list + 1] = {code = code, number = number, count = 1, dword = i > words}
            p = p + ref
        end
    elseif command == 0x0406 and at + 2 <= stop then
        -- Word-device blocks, then bit-device blocks: each a reference and
        -- its points, answered in words (a bit-device word holds 16 points).
        local words, bits = tvb(at, 1):uint(), tvb(at + 1, 1):uint()
        local p = at + 2
        for i = 1, words + bits do
            if p + ref + 2 > stop then break end
            local _, code, number = device_at(tvb, p, wide)
            list[#list + 1] = {code = code, number = number, count = tvb(p + ref, 2):le_uint(), packed = i > words}
            p = p + ref + 2
        end
    end
    return list
end

local function request_body(tvb, tree, command, sub, at, stop)
    local wide = bit32.band(sub, 2) ~= 0
    local ref = wide and 6 or 4
    local summary = ""
    if (command == 0x0401 or command == 0x1401) and at + ref + 2 <= stop then
        local name, _, _, n = device_at(tvb, at, wide)
        tree:add(f.device, tvb(at, n), name)
        local points = tvb(at + n, 2):le_uint()
        local item = tree:add_le(f.points, tvb(at + n, 2))
        local limit = bit32.band(sub, 1) ~= 0 and LIMITS.batchBits or LIMITS.batchWords
        if points > limit then item:add_proto_expert_info(e_points, "more than " .. limit .. " points") end
        summary = " " .. name .. ", " .. points .. (points == 1 and " point" or " points")
    elseif (command == 0x0403 or command == 0x1402 or command == 0x0406 or command == 0x1406) and at + 1 <= stop then
        local count = command == 0x1402 and bit32.band(sub, 1) ~= 0 and tvb(at, 1):uint() or tvb(at, 1):uint() + tvb(at + 1, 1):uint()
        local item = tree:add(f.points, tvb(at, math.min(2, stop - at)), count)
        if command == 0x0403 and count > LIMITS.randomRead then item:add_proto_expert_info(e_points) end
        if (command == 0x0406 or command == 0x1406) and count > LIMITS.blocks then item:add_proto_expert_info(e_points) end
        if command == 0x0403 then
            local p = at + 2
            while p + ref <= stop do
                local name, _, _, n = device_at(tvb, p, wide)
                tree:add(f.device, tvb(p, n), name)
                p = p + n
            end
        end
        local blocks = command == 0x0406 or command == 0x1406
        summary = " " .. count .. (blocks and " block" or " point") .. (count == 1 and "" or "s")
    end
    return summary
end

-- Values of a read answer beside the devices of its request.
local function answer_values(tvb, tree, request, at, stop)
    if not request then return end
    local p = at
    for _, d in ipairs(request.devices) do
        for i = 0, d.count - 1 do
            local text
            if d.bits then
                if p >= stop then return end
                local byte = tvb(p, 1):uint()
                local bit = (i % 2 == 0) and bit32.rshift(byte, 4) or bit32.band(byte, 0x0F)
                text = device_name(d.code, d.number + i) .. " = " .. bit
                tree:add(f.value, tvb(p, 1), text)
                if i % 2 == 1 then p = p + 1 end
            else
                local size = d.dword and 4 or 2
                if p + size > stop then return end
                local first = d.packed and d.number + 16 * i or d.number + i
                text = device_name(d.code, first) .. (d.packed and " (16 points)" or "") .. " = " .. tvb(p, size):le_uint()
                tree:add(f.value, tvb(p, size), text)
                p = p + size
            end
        end
        if d.bits and d.count % 2 == 1 then p = p + 1 end
    end
end

local function frame_length(tvb, pinfo, offset)
    local remaining = tvb:len() - offset
    if remaining < 2 then return -DESEGMENT_ONE_MORE_SEGMENT end
    local sub = tvb(offset, 1):uint()
    local header = (sub == 0x54 or sub == 0xD4) and 13 or 9
    if remaining < header then return -DESEGMENT_ONE_MORE_SEGMENT end
    return header + tvb(offset + header - 2, 2):le_uint()
end

local function dissect_frame(tvb, pinfo, root)
    local sub = tvb(0, 1):uint()
    local four = sub == 0x54 or sub == 0xD4
    local request = sub == 0x50 or sub == 0x54
    local answer = sub == 0xD0 or sub == 0xD4
    if not request and not answer then return 0 end
    pinfo.cols.protocol = "SLMP"
    local tree = root:add(slmp, tvb())
    tree:add(f.frame, tvb(0, 2), four and "4E" or "3E")
    tree:add(f.kind, tvb(0, 2), request and "request" or "answer")
    local at = 2
    local serial
    if four then
        serial = tvb(2, 2):le_uint()
        tree:add_le(f.serial, tvb(2, 2))
        at = 6
    end
    tree:add(f.network, tvb(at, 1))
    tree:add(f.pc, tvb(at + 1, 1))
    tree:add_le(f.module, tvb(at + 2, 2))
    tree:add(f.station, tvb(at + 4, 1))
    local length_item = tree:add_le(f.length, tvb(at + 5, 2))
    local data_at = at + 7
    local stop = tvb:len()
    if data_at + tvb(at + 5, 2):le_uint() ~= stop then length_item:add_proto_expert_info(e_length) end
    local key = tostring(tcp_stream() and tcp_stream().value or 0) .. (four and ("/" .. serial) or "")

    if request then
        if stop < data_at + 6 then
            length_item:add_proto_expert_info(e_length, "too short for a command")
            return stop
        end
        tree:add_le(f.timer, tvb(data_at, 2))
        local command, subcommand = tvb(data_at + 2, 2):le_uint(), tvb(data_at + 4, 2):le_uint()
        tree:add_le(f.command, tvb(data_at + 2, 2))
        tree:add_le(f.subcommand, tvb(data_at + 4, 2))
        local summary = request_body(tvb, tree, command, subcommand, data_at + 6, stop)
        local name = COMMANDS[command] or string.format("command %04X", command)
        if command == 0x0401 or command == 0x1401 then name = name .. " " .. (SUBCOMMANDS[bit32.band(subcommand, 1)] or "") end
        pinfo.cols.info = "Request: " .. name .. summary
        if not pinfo.visited then
            waiting[key] = waiting[key] or {}
            table.insert(waiting[key], {frame = pinfo.number, time = pinfo.abs_ts, command = command,
                devices = request_devices(tvb, command, subcommand, data_at + 6, stop)})
        end
        local m = matched[pinfo.number]
        if m then tree:add(f.response_in, m) end
        return stop
    end

    local code = tvb(data_at, 2):le_uint()
    tree:add_le(f.endcode, tvb(data_at, 2))
    if not pinfo.visited then
        local queue = waiting[key]
        local req = queue and table.remove(queue, 1)
        if req then
            matched[pinfo.number] = req
            matched[req.frame] = pinfo.number
        end
    end
    local req = matched[pinfo.number]
    if type(req) == "table" then
        tree:add(f.request_in, req.frame)
        tree:add(f.time, NSTime.new(0, math.floor((pinfo.abs_ts - req.time) * 1e9 + 0.5)))
        if code == 0 then answer_values(tvb, tree, req, data_at + 2, stop) end
    else
        tree:add_proto_expert_info(e_orphan)
    end
    if code ~= 0 and stop >= data_at + 2 + 9 then
        -- Error information: the answering station, then the failed command.
        tree:add_le(f.error_command, tvb(data_at + 2 + 5, 2))
    end
    pinfo.cols.info = string.format("Answer: end code %04X (%s)", code, END_CODES[code] or "no meaning known")
    return stop
end

function slmp.dissector(tvb, pinfo, tree)
    local sub = tvb(0, 1):uint()
    if sub ~= 0x50 and sub ~= 0x54 and sub ~= 0xD0 and sub ~= 0xD4 then return 0 end
    dissect_tcp_pdus(tvb, tree, 9, frame_length, dissect_frame, true)
    return tvb:len()
end

DissectorTable.get("tcp.port"):add(5000, slmp)

-- Notes the tools write into their captures (a request left without an
-- answer, its connection made anew): UDP datagrams between the connection's
-- ends whose text begins "fx5 marker: ".
local marker = Proto("slmp_marker", "SLMP capture marker")
local marker_text = ProtoField.string("slmp.marker", "Marker")
marker.fields = {marker_text}
local e_marker = ProtoExpert.new("slmp.marker.note", "A marker of the capturing tool", expert.group.SEQUENCE, expert.severity.NOTE)
marker.experts = {e_marker}
local MARKER = "fx5 marker: "

marker:register_heuristic("udp", function(tvb, pinfo, tree)
    if tvb:len() < #MARKER or tvb(0, #MARKER):string() ~= MARKER then return false end
    local text = tvb(#MARKER):string()
    pinfo.cols.protocol = "SLMP"
    pinfo.cols.info = "Marker: " .. text
    local item = tree:add(marker, tvb())
    item:add(marker_text, tvb(#MARKER), text):add_proto_expert_info(e_marker, text)
    return true
end)
