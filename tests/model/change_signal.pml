/* The change signal (TDataSynchronizer) and its two users, as a Promela model.
 *
 * Parties: the scheduler (slot 0) with its reader thread (poll cycle with the
 * reload and the due-time save) and its main thread (SetState, then the
 * destructor); the capture application (slot 1) with a writer of new
 * schedules and a reader. The kernel objects are global variables; each
 * kernel call is one atomic step; a bounded wait either succeeds when its
 * objects are available or gives up while they are not (a time-out).
 *
 * Checked: mutual exclusion (writer against readers and writers), the
 * semaphore invariant, no deadlock, notice delivery (once the capture
 * application has finished, a quiet scheduler holds what it last wrote) and no
 * lost update (the scheduler never writes back over data it has not read, and
 * a suspend or resume command is written at the latest by the destructor).
 *
 * The scheduler's fixes over the plain protocol can be switched off one by one
 * to show the faults they close:
 *   NO_PUT_BACK      BeginRead leaves the notice taken when the mutex wait times out
 *   NO_LOCKED_DUE    the due-time save writes without the lock and without a reload
 *   NO_LOCKED_SET    SetState writes under the lock but without a reload
 *   NO_LOCKED_FINAL  the destructor writes without the lock and without a reload
 *   NO_PENDING_FLAG  the destructor does not write a flag that SetState could not
 *   SPLIT_FLAG_STORES the flags and the pending flag are stored one after the other
 *   FREEZE_THREAD    the destructor freezes the thread instead of letting its cycle end
 * ABANDON lets the capture application die while it holds the writer mutex.
 */

#ifndef WRITES
#define WRITES 2        /* schedules written by the capture application */
#endif
#ifndef APP_READS
#define APP_READS 1     /* reads by the capture application */
#endif
#ifndef SET_STATES
#define SET_STATES 1    /* suspend/resume commands of the user */
#endif

#define FREE    0
#define READER  1       /* scheduler thread */
#define MAIN    2       /* scheduler main thread */
#define APPW    3       /* capture application, writer */
#define APPR    4       /* capture application, reader */
#define NONE    2       /* no pending flag */

/* Kernel objects (slots 2 to 4 have no party here, so their events are left out). */
byte mutex = FREE;      /* owner of _MutexNoWriter */
bool noReader = true;   /* _EventNoReader */
byte sem = 0;           /* _SemReadCount */
bool notice[2];         /* _EventDataToRead0, _EventDataToRead1 */

/* The registry and the scheduler's copy in memory. */
byte regDate = 0;       /* 0: nothing scheduled; k: the k-th schedule written */
bit  regSusp = 0;       /* bit 0 of "State" */
byte memDate = 0;
bit  memSusp = 0;
byte pending = NONE;    /* bit 0 that SetState could not write */
bit  shown = 0;         /* bit 0 the user sees when the destructor starts */

/* Time: date k is due once clock >= k. */
byte clock = 0;

/* Ghosts for the checks. */
byte writers = 0;       /* parties between BeginWrite and EndWrite */
byte inside = 0;        /* readers registered in the count: between BeginRead and EndRead */
bool schedStale = false;/* another party wrote since the scheduler last read */
byte launched = 0;      /* bit k: schedule k was launched */
byte heap = FREE;       /* the process's memory allocator lock */
bool lostUpdate = false, lostNotice = false, launchedTwice = false, lostCommand = false;  /* set on a fault */

/* Life of the parties. */
bool setDone = false, stopReq = false, frozen = false, procExit = false;
bool readerEnded = false;
byte appLeft = 2;
bool appDied = false, appInEndRead = false;

/* BeginRead steps 3 to 6: register as a reader under the mutex. Steps 4 to 6
   are one atomic step: nobody else can touch the count or the event while the
   mutex is held. */
inline Register(me, ok) {
  if
  :: atomic { mutex == FREE -> mutex = me };
     atomic {
       sem++; inside++; if :: sem == 1 -> noReader = false :: else fi;
       assert(mutex == me); mutex = FREE; ok = true
     }
  :: mutex != FREE -> ok = false
  fi
}

inline BeginRead(me, slot, ok) {
  if
  :: atomic { notice[slot] -> notice[slot] = false };
     Register(me, ok);
#ifndef NO_PUT_BACK
     if :: !ok -> notice[slot] = true :: else fi
#endif
  :: !notice[slot] -> ok = false
  fi
}

inline EndRead(me) {
  atomic { mutex == FREE && sem > 0 -> mutex = me; sem--; inside-- };
  atomic {
    if :: sem == 0 -> noReader = true :: else fi;
    assert(mutex == me); mutex = FREE
  }
}

inline BeginWrite(me, ok) {
  if
  :: atomic { mutex == FREE && noReader -> mutex = me; writers++ }; ok = true
  :: !(mutex == FREE && noReader) -> ok = false
  fi
}

inline EndWrite(me, slot) {
  atomic { assert(mutex == me); writers--; mutex = FREE };
  notice[1 - slot] = true
}

inline LoadState() {
  atomic { memDate = regDate; memSusp = regSusp; schedStale = false }
}

/* The scheduler thread's reloads replace the flags in memory, and with them
   a flag that SetState could not write. SetState stores the new flag and the
   pending flag together too, so a SetState on the main thread falls wholly
   before a reload (which replaces it) or wholly after it (and stays pending). */
inline Reload() {
#ifdef SPLIT_FLAG_STORES
  LoadState(); pending = NONE
#else
  atomic { LoadState(); pending = NONE }
#endif
}

/* A save over data the scheduler has not read loses that data. */
inline SaveState() {
  atomic { lostUpdate = schedStale; assert(!lostUpdate); regDate = memDate; regSusp = memSusp }
}

inline Launch(d) {
  atomic {
    launchedTwice = (launched & (1 << d)) != 0; assert(!launchedTwice);
    launched = launched | (1 << d)
  }
}

#define Due (memDate > 0 && !memSusp && clock >= memDate)

proctype SchedReader() {
  bool ok;
  byte d;
  {
    do
    :: stopReq -> break
    /* Quiet: the capture application has ended and no notice is pending, so
       the copy in memory must hold its last write. */
    :: atomic { !stopReq && appLeft == 0 && setDone && !notice[0] } ->
       lostNotice = schedStale && !appDied; assert(!lostNotice);
       break
    :: !stopReq ->
       atomic { heap == FREE -> heap = READER };   /* the callback allocates */
       heap = FREE;
       BeginRead(READER, 0, ok);
       if
       :: ok -> Reload(); EndRead(READER)
       :: else
       fi;
       if
       :: Due ->
#ifdef NO_LOCKED_DUE
          d = memDate; memDate = 0; SaveState(); Launch(d)
#else
          BeginWrite(READER, ok);
          if
          :: ok ->
             Reload();
             d = 0;
             if :: Due -> d = memDate; memDate = 0; SaveState() :: else fi;
             EndWrite(READER, 0);
             if :: d > 0 -> Launch(d) :: else fi
          :: else
          fi
#endif
       :: else
       fi
    od;
    readerEnded = true
  } unless { frozen || procExit }
}

proctype SchedMain() {
  bool ok;
  bit newSusp;
  byte n = 0;
  do
  :: n < SET_STATES ->
     n++;
     if
     :: newSusp = !memSusp;         /* the owner flips bit 0 */
#ifdef SPLIT_FLAG_STORES
        memSusp = newSusp; pending = newSusp;
#else
        atomic { memSusp = newSusp; pending = newSusp };
#endif
        BeginWrite(MAIN, ok);
        if
        :: ok ->
#ifndef NO_LOCKED_SET
           LoadState(); memSusp = newSusp;
#endif
           SaveState(); pending = NONE; EndWrite(MAIN, 0)
        :: else                      /* in memory only */
        fi
     :: skip
     fi
  :: else -> break
  od;
  setDone = true;
  if
  :: skip                            /* unloaded at any time */
  :: appLeft == 0                    /* or once the capture application ended */
  fi;
  /* The destructor. */
#ifdef NO_LOCKED_FINAL
  SaveState();
#endif
#ifdef FREEZE_THREAD
  frozen = true;                     /* the thread stops where it stands */
  stopReq = true;
  atomic { heap == FREE -> heap = MAIN };  /* freeing the change signal */
  heap = FREE;
#else
  stopReq = true;
  /* Wait for the cycle to end. Among parties that follow the protocol a
     cycle ends well within the bound, so the wait is modelled without one;
     a peer that hangs holding the mutex is left to the tests of the program. */
  readerEnded;
  shown = memSusp;
#ifndef NO_LOCKED_FINAL
  BeginWrite(MAIN, ok);
  if
  :: ok ->
     LoadState();
#ifndef NO_PENDING_FLAG
     if :: pending != NONE -> memSusp = pending; pending = NONE :: else fi;
#endif
     SaveState();
     /* The capture application never changes bit 0 here, so the key must
        now hold the flag the user saw last. */
     lostCommand = regSusp != shown; assert(!lostCommand);
     EndWrite(MAIN, 0)
  :: else
  fi;
#endif
  atomic { heap == FREE -> heap = MAIN };  /* freeing the change signal */
  heap = FREE;
#endif
  /* The process ends: a mutex held by one of its threads is abandoned. */
  atomic {
    procExit = true;
    if :: mutex == READER || mutex == MAIN -> mutex = FREE :: else fi
  }
}

proctype AppWriter() {
  bool ok;
  byte k = 1;
  do
  :: k <= WRITES ->
     BeginWrite(APPW, ok);
     if
     :: ok ->
        atomic { regDate = k; schedStale = true };
#ifdef ABANDON
        if
        :: !appInEndRead ->          /* the application dies holding the mutex */
           atomic { appDied = true; appLeft = 0; writers--; mutex = FREE };
           goto dead
        :: skip
        fi;
#endif
        EndWrite(APPW, 1)
     :: else
     fi;
     k++
  :: else -> break
  od;
  appLeft--;
dead:
  skip
}

proctype AppReader() {
  bool ok;
  byte n = 0;
  {
    do
    :: n < APP_READS ->
       n++;
       Register(APPR, ok);           /* without waiting for its own notice */
       if
       :: ok -> appInEndRead = true; EndRead(APPR); appInEndRead = false
       :: else
       fi
    :: else -> break
    od;
    appLeft--
  } unless { appDied }
}

proctype Clock() {
  do
  :: clock < WRITES -> clock++
  :: break
  od
}

/* Checked in every reachable state. */
proctype Monitor() {
  assert(writers <= 1 && (writers == 0 || inside == 0));
  assert(mutex != FREE || (sem == inside && noReader == (sem == 0)))
}

init {
  atomic {
    run Monitor();
    run Clock();
    run SchedReader();
    run SchedMain();
    run AppWriter();
    run AppReader()
  }
}
