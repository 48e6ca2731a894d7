// Types and constants shared by the cloud print services.

namespace cpp cloudprint

enum PrinterStatus {
    Available = 1,
    Existed = 0
}

enum JobCommand {
    JobControlPause = 1,
    JobControlResume = 2,
    JobControlCancel = 3,
    JobControlRestart = 4,
    JobControlDelete = 5
}

enum NumberUpLayout {
    LRTB = 0,
    BTLR = 1,
    RLBT = 2,
    TBRL = 3,
    LRBT = 4,
    BTRL = 5,
    RLTB = 6,
    TBLR = 7
}

enum PrintPageSet {
    All = 0,
    Odd = 1,
    Even = 2
}

enum OutputOrder {
    Normal = 0,
    Reverse = 1
}

enum PrintSides {
    Simplex = 0,
    Duplexshort = 1,
    Duplexlong = 2
}

// Printer status flags carried in Printer.Status.
const i32 PRINTER_STATUS_PAUSED = 0x1
const i32 PRINTER_STATUS_ERROR = 0x2
const i32 PRINTER_STATUS_PENDING_DELETION = 0x4
const i32 PRINTER_STATUS_PAPER_JAM = 0x8
const i32 PRINTER_STATUS_PAPER_OUT = 0x10
const i32 PRINTER_STATUS_MANUAL_FEED = 0x20
const i32 PRINTER_STATUS_PAPER_PROBLEM = 0x40
const i32 PRINTER_STATUS_OFFLINE = 0x80
const i32 PRINTER_STATUS_IO_ACTIVE = 0x100
const i32 PRINTER_STATUS_BUSY = 0x200
const i32 PRINTER_STATUS_PRINTING = 0x400
const i32 PRINTER_STATUS_OUTPUT_BIN_FULL = 0x800
const i32 PRINTER_STATUS_NOT_AVAILABLE = 0x1000
const i32 PRINTER_STATUS_WAITING = 0x2000
const i32 PRINTER_STATUS_PROCESSING = 0x4000
const i32 PRINTER_STATUS_INITIALIZING = 0x8000
const i32 PRINTER_STATUS_WARMING_UP = 0x10000
const i32 PRINTER_STATUS_TONER_LOW = 0x20000
const i32 PRINTER_STATUS_NO_TONER = 0x40000
const i32 PRINTER_STATUS_PAGE_PUNT = 0x80000
const i32 PRINTER_STATUS_USER_INTERVENTION = 0x100000
const i32 PRINTER_STATUS_OUT_OF_MEMORY = 0x200000
const i32 PRINTER_STATUS_DOOR_OPEN = 0x400000
const i32 PRINTER_STATUS_SERVER_UNKNOWN = 0x800000
const i32 PRINTER_STATUS_POWER_SAVE = 0x1000000
const i32 PRINTER_STATUS_SERVER_OFFLINE = 0x2000000
const i32 PRINTER_STATUS_DRIVER_UPDATE_NEEDED = 0x4000000

// Job status flags carried in Job.Status.
const i32 JOB_STATUS_PAUSED = 0x1
const i32 JOB_STATUS_ERROR = 0x2
const i32 JOB_STATUS_DELETING = 0x4
const i32 JOB_STATUS_SPOOLING = 0x8
const i32 JOB_STATUS_PRINTING = 0x10
const i32 JOB_STATUS_OFFLINE = 0x20
const i32 JOB_STATUS_PAPEROUT = 0x40
const i32 JOB_STATUS_PRINTED = 0x80
const i32 JOB_STATUS_DELETED = 0x100
const i32 JOB_STATUS_BLOCKED_DEVQ = 0x200
const i32 JOB_STATUS_USER_INTERVENTION = 0x400
const i32 JOB_STATUS_RESTART = 0x800
const i32 JOB_STATUS_COMPLETE = 0x1000

// How a cloud print job ended.
const i32 JOB_END_SUCCESS = 0
const i32 JOB_END_CANCELLED = 1
const i32 JOB_END_FAILED = 2

struct Printer {
    1: string ID,
    2: string ServerName,
    3: string ShareName,
    4: string PortName,
    5: string Addr,
    6: string DriverName,
    7: string Comment,
    8: string Location,
    9: string SepFile,
    10: string PrintProcessor,
    11: string Datatype,
    12: string Parameters,
    13: i32 Attributes,
    14: i32 Priority,
    15: i32 DefaultPriority,
    16: i32 Status,
    17: i32 cJobs,
    18: i32 AveragePPM
}

struct Job {
    1: string JobId,
    2: string PrinterName,
    3: string MachineName,
    4: string UserName,
    5: string Document,
    6: string Datatype,
    7: string StatusString,
    8: i32 Status,
    9: i32 Priority,
    10: i32 Position,
    11: i32 TotalPages,
    12: i32 PagesPrinted,
    13: string Submitted
}

struct Option {
    1: i32 Copyies,
    2: i32 NumberUp,
    3: NumberUpLayout Layout,
    4: string PageSize,
    5: PrintPageSet PageSet,
    6: OutputOrder Order,
    7: string Resolution,
    8: bool Collate,
    9: bool Color,
    10: PrintSides Sides
}

struct Auth {
    1: string Authcode,
    2: string Token,
    3: string Name,
    4: string ip
}

exception Exception {
    1: i32 Code,
    2: string Description
}
